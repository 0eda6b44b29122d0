// The show's default pictures: eight show pictures, the shimmer tile and two title cards.
#pragma once

#include <string>

#include "Canvas.h"

// Side of every picture: a power of two, so the texture needs no rescaling.
constexpr int PictureSize = 512;

// Show pictures d0 … d7. Each is bright (the show draws them at half brightness), keeps
// detail at every scale around its centre (the zoom ends in the centre point), and keeps
// its corners and its diagonal from the top-left corner to the centre light, because the
// glyphs drawn after the picture are tinted by the texel there.
void DrawTiledOrnament(Canvas& canvas); // d0: tiles seamlessly, green-rich
void DrawMandelbrot(Canvas& canvas);    // d1
void DrawTunnel(Canvas& canvas);        // d2
void DrawNewton(Canvas& canvas);        // d3
void DrawStainedGlass(Canvas& canvas);  // d4
void DrawKaleidoscope(Canvas& canvas);  // d5
void DrawMarble(Canvas& canvas);        // d6
void DrawInterference(Canvas& canvas);  // d7

// r: a seamless tile for the additive shimmer, bright along its s = t diagonal.
void DrawShimmerTile(Canvas& canvas);

// l1, l2: title cards. They return false when no usable font face was found.
bool DrawTitleCard(Canvas& canvas, int which, std::string& error);
