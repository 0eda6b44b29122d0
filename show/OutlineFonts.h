// The two 3D outline fonts and the routines that draw byte strings with them.
#pragma once

#include <cstdint>

#include "platform/Win32.h"
#include "platform/Win32Fonts.h"

extern std::uint32_t TextFontBase;
extern std::uint32_t SymbolFontBase;

constexpr int FontListsReserved = 300;
constexpr int FontGlyphsBuilt = 255;
// How far the glyphs reach behind their faces, which lie at z = 0 (toward -z).
constexpr float GlyphExtrusion = 0.2f;

// Built through the device context of the window the fonts are for; the symbol face,
// built last, stays selected into it.
void BuildTextFont(HDC dc);
void BuildSymbolFont(HDC dc);
void DrawTextString(const char* text);
void DrawSymbolString(const char* text);

// Told of every string just before it is drawn, while the modelview matrix holds its
// place, with the metrics of its font's glyphs (one per code, 256): for a recording that
// needs to know where the glyphs go. None in the show.
using StringWatcher = void (*)(const char* text, const GLYPHMETRICSFLOAT* metrics);
void WatchStrings(StringWatcher watcher);
