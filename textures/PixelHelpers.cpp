// Pixel helpers shared by the picture readers: channel widening, row strides, mask
// arithmetic and the byte shuffles between file layouts and red, green, blue, alpha.
#include "textures/TextureImage.h"

#include <bit>

std::uint8_t TTextureImage::WidenChannel(std::uint32_t value, int bits) {
    std::uint32_t wide = value;
    switch (bits) {
    case 1:
        wide = value != 0 ? 255 : 0;
        break;
    case 2:
        wide = (value << 6) | (value << 4) | (value << 2) | value;
        break;
    case 3:
        wide = (value << 5) | (value << 2) | (value >> 1);
        break;
    case 4:
        wide = (value << 4) | value;
        break;
    case 5:
        wide = (value << 3) | (value >> 2);
        break;
    case 6:
        wide = (value << 2) | (value >> 4);
        break;
    case 7:
        wide = (value << 1) | (value >> 6);
        break;
    default:
        // A channel wider than 8 bits keeps its top 8; 0 and 8 bits stay as they are.
        if (bits > 8) {
            wide = value >> (bits - 8);
        }
        break;
    }
    return static_cast<std::uint8_t>(wide & 0xFF);
}

std::int32_t TTextureImage::RowStride(int bits) const {
    const std::int64_t rowBits = static_cast<std::int64_t>(Width) * bits;
    return static_cast<std::int32_t>(((rowBits + 31) & ~std::int64_t{31}) / 8);
}

int TTextureImage::LowestSetBit(std::uint32_t mask) {
    return mask == 0 ? -1 : std::countr_zero(mask);
}

int TTextureImage::CountSetBits(std::uint32_t mask) {
    return std::popcount(mask);
}

void TTextureImage::SwapRedAndBlue() {
    const std::size_t count = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
    std::uint8_t* pixel = Pixels;
    for (std::size_t i = 0; i < count; ++i, pixel += 4) {
        const std::uint8_t red = pixel[0];
        pixel[0] = pixel[2];
        pixel[2] = red;
    }
}

void TTextureImage::ExpandRgbToRgba(const std::uint8_t* source, std::size_t skip, bool swap) {
    std::uint8_t* target = Pixels;
    const int first = swap ? 2 : 0;
    const int last = swap ? 0 : 2;
    for (std::int32_t row = 0; row < Height; ++row) {
        for (std::int32_t column = 0; column < Width; ++column) {
            target[0] = source[first];
            target[1] = source[1];
            target[2] = source[last];
            source += 3;
            target += 4;
        }
        source += skip;
    }
}

void TTextureImage::FillAlpha(std::uint8_t value) {
    const std::size_t count = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
    for (std::size_t i = 0; i < count; ++i) {
        Pixels[i * 4 + 3] = value;
    }
}

void TTextureImage::ReleasePixels() {
    delete[] Pixels;
    Pixels = nullptr;
}

bool TTextureImage::DimensionsAllowed(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= MaxImageSide && height <= MaxImageSide &&
           width * height <= MaxImagePixels;
}
