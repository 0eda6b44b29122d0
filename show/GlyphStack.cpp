// Placeholder until the glyph stack is built.
#include "show/Layers.h"

std::uint8_t StackGlyphCode = 47;
std::uint32_t StackStamp = 0;

void DrawGlyphStack() {}
