// The two 3D outline fonts and the routines that draw byte strings with them.
#pragma once

#include <cstdint>

extern std::uint32_t TextFontBase;
extern std::uint32_t SymbolFontBase;

constexpr int FontListsReserved = 300;
constexpr int FontGlyphsBuilt = 255;

void BuildTextFont();
void BuildSymbolFont();
void DrawTextString(const char* text);
void DrawSymbolString(const char* text);
