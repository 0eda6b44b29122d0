// The character and glyph a byte code stands for in a face, by its code map.
#include "fonts/FontCharacterMaps.h"
#include "fonts/FontFaces.h"

char32_t FontCharacterOfCode(const FontFace& face, unsigned code) {
    if (code > 0xFF) {
        return 0;
    }
    switch (face.CodeMap) {
    case FontCodeMap::Ansi:
        return Windows1252ToUnicode(static_cast<unsigned char>(code));
    case FontCodeMap::Wingdings:
        return WingdingsToUnicode[code];
    case FontCodeMap::Symbol:
        return code;
    }
    return 0;
}

FT_UInt FontGlyphOfCode(const FontFace& face, unsigned code) {
    char32_t character = FontCharacterOfCode(face, code);
    if (character == 0 && !(face.CodeMap == FontCodeMap::Symbol && code == 0)) {
        return 0;
    }
    if (FT_Set_Charmap(face.Face, face.CharMap) != 0) {
        return 0;
    }
    if (face.CodeMap == FontCodeMap::Symbol) {
        FT_UInt glyph = FT_Get_Char_Index(face.Face, 0xF000 + character);
        return glyph != 0 ? glyph : FT_Get_Char_Index(face.Face, character);
    }
    return FT_Get_Char_Index(face.Face, character);
}
