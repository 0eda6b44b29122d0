// Placeholder until the outline fonts are built.
#include "show/OutlineFonts.h"

std::uint32_t TextFontBase = 0;
std::uint32_t SymbolFontBase = 0;

void BuildTextFont() {}
void BuildSymbolFont() {}
void DrawTextString(const char*) {}
void DrawSymbolString(const char*) {}
