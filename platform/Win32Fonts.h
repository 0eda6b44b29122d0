// Win32-shaped outline fonts: a font description selected into a device context, and 3D
// glyph display lists built from it. The calls are declared with the rest of the contract
// in Win32.h (on Windows they are the system's own: gdi32 and opengl32); here is what the
// show asks of them.
#pragma once

#include "platform/Win32.h"

// Chordal deviation 0 asks for the finest approximation: curves are flattened so that no
// chord strays farther than this many em from its curve. The largest glyphs the show
// draws stand four units in front of the eye, about 145 pixels to the em, where this is
// a third of a pixel; finer would only add triangles.
constexpr float FinestChordalDeviation = 0.002f;
