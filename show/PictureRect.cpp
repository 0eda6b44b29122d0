#include "show/PictureRect.h"

#include <cstdint>

PictureRect PictureRectFor(int width, int height) {
    PictureRect r;
    // Integer arithmetic: the same rectangle on every machine.
    if (std::int64_t{width} * 3 >= std::int64_t{height} * 4) {
        r.Height = height;
        r.Width = static_cast<int>((std::int64_t{height} * 4 + 1) / 3);
        r.Width = r.Width > width ? width : r.Width;
    } else {
        r.Width = width;
        r.Height = static_cast<int>((std::int64_t{width} * 3 + 2) / 4);
        r.Height = r.Height > height ? height : r.Height;
    }
    r.X = (width - r.Width) / 2;
    r.Y = (height - r.Height) / 2;
    return r;
}
