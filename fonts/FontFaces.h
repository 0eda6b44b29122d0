// Finding the installed face for a GDI-style font description (fontconfig) and the
// glyph of each byte code in it (FreeType).
#pragma once

#include <string>

#include <ft2build.h>
#include FT_FREETYPE_H

// How a byte code becomes a glyph of the face.
enum class FontCodeMap {
    Ansi,      // Windows-1252 byte → Unicode character → the face's Unicode map
    Symbol,    // the face's own symbol map (0xF000 + code, as symbol faces store it)
    Wingdings, // Wingdings code → its Unicode stand-in → the face's Unicode map
};

struct FontFace {
    FT_Face Face = nullptr;
    FT_CharMap CharMap = nullptr;
    FontCodeMap CodeMap = FontCodeMap::Ansi;
    std::string FilePath;
    std::string Family;
};

// The face for the description, or nullptr when neither the family nor a stand-in that
// fontconfig declares equivalent (or, for a symbol family, a face covering its symbols)
// is installed. Faces live for the rest of the process.
const FontFace* FindFontFace(const std::string& family, int weight, bool italic, unsigned charSet);

// The Unicode character a byte code stands for in the face (for the symbol map: the
// code as the face stores it); 0 where the code stands for nothing.
char32_t FontCharacterOfCode(const FontFace& face, unsigned code);

// The glyph index of a byte code; 0 where the face has no glyph for it.
FT_UInt FontGlyphOfCode(const FontFace& face, unsigned code);
