// The two 3D outline fonts and the routines that draw byte strings with them.
#pragma once

#include <cstdint>

#include "platform/Win32.h"

extern std::uint32_t TextFontBase;
extern std::uint32_t SymbolFontBase;

constexpr int FontListsReserved = 300;
constexpr int FontGlyphsBuilt = 255;

// Built through the device context of the window the fonts are for; the symbol face,
// built last, stays selected into it.
void BuildTextFont(HDC dc);
void BuildSymbolFont(HDC dc);
void DrawTextString(const char* text);
void DrawSymbolString(const char* text);
