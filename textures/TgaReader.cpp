// TGA reader: uncompressed true-colour Truevision files of 24 and 32 bits. Rows stay in
// file order; 32-bit files keep their alpha.
#include <memory>

#include "textures/CheckedFile.h"
#include "textures/TextureImage.h"

namespace {

constexpr std::size_t TgaHeaderSize = 18;
constexpr std::uint8_t TgaTrueColour = 2;

} // namespace

bool TTextureImage::ReadTgaFile(const std::string& fileName) {
    FileHandle file = OpenForReading(fileName);
    if (!file) {
        return false;
    }
    return ReadTgaStream(file.get());
}

bool TTextureImage::ReadTgaStream(std::FILE* file) {
    std::uint8_t header[TgaHeaderSize];
    ReadChecked(file, header, sizeof header);
    if (header[2] != TgaTrueColour || header[1] != 0) {
        return false;
    }
    Width = ReadLe16(header + 12);
    Height = ReadLe16(header + 14);
    BitsPerPixel = header[16];
    const std::int64_t pixelBytes = static_cast<std::int64_t>(Width) * Height * (BitsPerPixel / 8);
    ImageSize = static_cast<std::int32_t>(pixelBytes);
    if (BitsPerPixel != 24 && BitsPerPixel != 32) {
        return false;
    }
    if (!DimensionsAllowed(Width, Height)) {
        return false;
    }
    // The image ID, when there is one, sits between the header and the pixels.
    if (!SeekTo(file, static_cast<std::int64_t>(TgaHeaderSize) + header[0])) {
        return false;
    }
    // Pixel data the file does not hold gets no buffer.
    const std::int64_t left = BytesLeft(file);
    if (left < 0 || left < pixelBytes) {
        return false;
    }
    const std::size_t size = static_cast<std::size_t>(pixelBytes);
    if (BitsPerPixel == 32) {
        Pixels = new std::uint8_t[size];
        if (ReadSome(file, Pixels, size) != size) {
            ReleasePixels();
            return false;
        }
    } else {
        std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size]);
        if (ReadSome(file, data.get(), size) != size) {
            return false;
        }
        Pixels = new std::uint8_t[static_cast<std::size_t>(Width) * std::size_t(Height) * 4];
        ExpandRgbToRgba(data.get(), 0, false);
        FillAlpha(255);
    }
    SwapRedAndBlue();
    return true;
}
