// The sdl back end's own font calls, outside the Win32 surface: what a font was resolved
// to, for tests and diagnostics.
#pragma once

#include <string>

#include "platform/Win32.h"

// The file of the installed face that draws the font; empty if none was found.
std::string FontFaceFile(HFONT font);
// The Unicode character the font draws for a byte code (for a face with its own symbol
// map, the code itself); 0 where the code stands for nothing.
char32_t FontCharacterOfCode(HFONT font, unsigned code);
