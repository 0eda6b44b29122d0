// Win32-shaped outline fonts: a font description selected into a device context,
// and 3D glyph display lists built from it, over FreeType, fontconfig and the GLU
// tessellator. On Windows they are the system's own (gdi32 and opengl32).
#pragma once

#include <string>

#include "platform/Win32.h"

#if !defined(_WIN32)

constexpr int FW_BOLD = 700;
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD SYMBOL_CHARSET = 2;
constexpr DWORD OUT_TT_PRECIS = 4;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD ANTIALIASED_QUALITY = 4;
constexpr DWORD DEFAULT_PITCH = 0;
constexpr DWORD FF_DONTCARE = 0;
constexpr int WGL_FONT_LINES = 0;
constexpr int WGL_FONT_POLYGONS = 1;

struct POINTFLOAT {
    float x;
    float y;
};

struct GLYPHMETRICSFLOAT {
    float gmfBlackBoxX;
    float gmfBlackBoxY;
    POINTFLOAT gmfptGlyphOrigin;
    float gmfCellIncX;
    float gmfCellIncY;
};
static_assert(sizeof(GLYPHMETRICSFLOAT) == 24);

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName);
// Returns the object that was selected before.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// One display list per code first … first + count − 1: the glyph's filled front face,
// its back face `extrusion` behind along −z, side walls with outward normals, in units
// where the em height is 1, ending with a translation by the glyph's advance.
BOOL wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD listBase, float deviation,
                         float extrusion, int format, GLYPHMETRICSFLOAT* metrics);

// --- Not Win32: what a font was resolved to, for tests and diagnostics ---

// The file of the installed face that draws the font; empty if none was found.
std::string FontFaceFile(HFONT font);
// The Unicode character the font draws for a byte code (for a face with its own symbol
// map, the code itself); 0 where the code stands for nothing.
char32_t FontCharacterOfCode(HFONT font, unsigned code);

#endif

// Chordal deviation 0 asks for the finest approximation: curves are flattened so that no
// chord strays farther than this many em from its curve. The largest glyphs the show
// draws stand four units in front of the eye, about 145 pixels to the em, where this is
// a third of a pixel; finer would only add triangles.
constexpr float FinestChordalDeviation = 0.002f;
