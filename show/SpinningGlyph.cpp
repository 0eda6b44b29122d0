// Placeholder until the spinning glyph is built.
#include "show/Layers.h"

void DrawSpinningGlyph() {}
