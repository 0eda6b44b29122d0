// Where the show's 4:3 picture goes in a frame or on a screen of another shape: the
// recorder's frames of any size and the live show on a display whose mode cannot change.
#pragma once

// A rectangle of a frame's pixels.
struct PictureRect {
    int X = 0; // from the left
    int Y = 0; // from the bottom, as OpenGL counts
    int Width = 0;
    int Height = 0;
};

// The largest 4:3 rectangle centred in a frame: where the show's picture goes, with
// black bars at the sides of a wider frame and above and below a taller one.
PictureRect PictureRectFor(int width, int height);
