// BMP reader: uncompressed Windows bitmaps of 4, 8, 16 (bit fields), 24 and 32 bits.
// Rows stay in file order. Every size and offset from the file is checked against the
// picture limits and the file's real length before it is used.
#include <cstring>
#include <memory>

#include "textures/CheckedFile.h"
#include "textures/TextureImage.h"

namespace {

constexpr std::uint16_t BmpFileType = 0x4D42;
constexpr std::int64_t FileHeaderSize = 14;
constexpr std::int64_t InfoHeaderSize = 40;
constexpr std::uint32_t BiRgb = 0;
constexpr std::uint32_t BiBitFields = 3;

// Reads the pixel data of one converter into a temporary buffer: false on a short read.
std::unique_ptr<std::uint8_t[]> ReadPixelData(std::FILE* file, std::int32_t imageSize) {
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[static_cast<std::size_t>(imageSize)]);
    if (ReadSome(file, data.get(), static_cast<std::size_t>(imageSize)) !=
        static_cast<std::size_t>(imageSize)) {
        return nullptr;
    }
    return data;
}

std::size_t PixelBytes(std::int32_t width, std::int32_t height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
}

} // namespace

bool TTextureImage::ReadBmpFile(const std::string& fileName) {
    FileHandle file = OpenForReading(fileName);
    if (!file) {
        return false;
    }
    return ReadBmpStream(file.get());
}

bool TTextureImage::ReadBmpStream(std::FILE* file) {
    std::uint8_t fileHeader[FileHeaderSize];
    ReadChecked(file, fileHeader, sizeof fileHeader);
    if (ReadLe16(fileHeader) != BmpFileType) {
        return false;
    }
    const std::uint32_t dataOffset = ReadLe32(fileHeader + 10);

    std::uint8_t info[InfoHeaderSize];
    ReadChecked(file, info, sizeof info);
    const std::uint32_t headerSize = ReadLe32(info);
    // The short core header (12) has another layout; anything else shorter than 40 bytes
    // cannot hold the fields read below.
    if (headerSize < InfoHeaderSize) {
        return false;
    }
    const std::int32_t width = static_cast<std::int32_t>(ReadLe32(info + 4));
    const std::int64_t signedHeight = static_cast<std::int32_t>(ReadLe32(info + 8));
    const std::int32_t bits = ReadLe16(info + 14);
    const std::uint32_t compression = ReadLe32(info + 16);
    const std::int32_t headerImageSize = static_cast<std::int32_t>(ReadLe32(info + 20));
    const std::uint32_t coloursUsed = ReadLe32(info + 32);

    Width = width;
    Height = static_cast<std::int32_t>(signedHeight < 0 ? -signedHeight : signedHeight);
    BitsPerPixel = bits;
    if (signedHeight == INT32_MIN || !DimensionsAllowed(Width, Height)) {
        return false;
    }

    if (compression == BiBitFields) {
        if (bits == 16) {
            // The masks follow the 40-byte header; the longer headers hold them at the
            // same offset.
            ReadChecked(file, ColourTable, 12);
        }
    } else if (compression == BiRgb) {
        if (bits == 16) {
            // Without bit fields a 16-bit file is 5-5-5.
            const std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
            for (int i = 0; i < 3; ++i) {
                ColourTable[i * 4 + 0] = static_cast<std::uint8_t>(masks[i]);
                ColourTable[i * 4 + 1] = static_cast<std::uint8_t>(masks[i] >> 8);
                ColourTable[i * 4 + 2] = 0;
                ColourTable[i * 4 + 3] = 0;
            }
        }
    } else {
        return false;
    }

    if (bits < 16) {
        // Colours used 0 means the full palette of the depth.
        const std::uint32_t entries = coloursUsed != 0 ? coloursUsed : (1u << bits);
        if (entries > 256) {
            return false;
        }
        // The palette follows the real info header, which may be longer than 40 bytes.
        if (!SeekTo(file, FileHeaderSize + headerSize)) {
            return false;
        }
        const std::size_t paletteBytes = static_cast<std::size_t>(entries) * 4;
        if (ReadSome(file, ColourTable, paletteBytes) != paletteBytes) {
            return false;
        }
    }

    if (!SeekTo(file, dataOffset)) {
        return false;
    }
    const std::int64_t stride = RowStride(bits);
    const std::int64_t rowsNeed = stride * Height;
    ImageSize = headerImageSize;
    if (ImageSize == 0) {
        ImageSize = static_cast<std::int32_t>(rowsNeed);
    }
    if (bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return false;
    }
    // The converters below 32 bits walk Height rows of RowStride bytes: a smaller image
    // size cannot hold them. Data beyond the end of the file is not there to read, so
    // no buffer is made for it.
    const std::int64_t left = BytesLeft(file);
    const std::int64_t wanted = bits == 32 ? static_cast<std::int64_t>(PixelBytes(Width, Height))
                                           : static_cast<std::int64_t>(ImageSize);
    if ((bits != 32 && ImageSize < rowsNeed) || left < 0 || wanted > left) {
        return false;
    }

    bool read = false;
    switch (bits) {
    case 4:
        read = ConvertBmp4(file);
        break;
    case 8:
        read = ConvertBmp8(file);
        break;
    case 16:
        read = ConvertBmp16(file);
        break;
    case 24:
        read = ConvertBmp24(file);
        break;
    default:
        read = ConvertBmp32(file);
        break;
    }
    if (!read || Pixels == nullptr) {
        ReleasePixels();
        return false;
    }
    FillAlpha(255);
    return true;
}

bool TTextureImage::ConvertBmp32(std::FILE* file) {
    const std::size_t bytes = PixelBytes(Width, Height);
    Pixels = new std::uint8_t[bytes];
    if (ReadSome(file, Pixels, bytes) != bytes) {
        ReleasePixels();
        return false;
    }
    SwapRedAndBlue();
    return true;
}

bool TTextureImage::ConvertBmp24(std::FILE* file) {
    const std::size_t skip = static_cast<std::size_t>(RowStride(24)) - 3 * std::size_t(Width);
    std::unique_ptr<std::uint8_t[]> data = ReadPixelData(file, ImageSize);
    if (!data) {
        return false;
    }
    Pixels = new std::uint8_t[PixelBytes(Width, Height)];
    ExpandRgbToRgba(data.get(), skip, true);
    BitsPerPixel = 32;
    return true;
}

bool TTextureImage::ConvertBmp16(std::FILE* file) {
    std::unique_ptr<std::uint8_t[]> data = ReadPixelData(file, ImageSize);
    if (!data) {
        return false;
    }
    Pixels = new std::uint8_t[PixelBytes(Width, Height)];
    const std::size_t skip = static_cast<std::size_t>(RowStride(16)) - 2 * std::size_t(Width);
    std::uint32_t masks[3];
    int shifts[3];
    int widths[3];
    for (int channel = 0; channel < 3; ++channel) {
        masks[channel] = ReadLe32(ColourTable + channel * 4);
        shifts[channel] = masks[channel] == 0 ? 0 : LowestSetBit(masks[channel]);
        widths[channel] = CountSetBits(masks[channel]);
    }
    const std::uint8_t* source = data.get();
    std::uint8_t* target = Pixels;
    for (std::int32_t row = 0; row < Height; ++row) {
        for (std::int32_t column = 0; column < Width; ++column) {
            const std::uint32_t word = ReadLe16(source);
            for (int channel = 0; channel < 3; ++channel) {
                const std::uint32_t value = (word & masks[channel]) >> shifts[channel];
                target[channel] = WidenChannel(value, widths[channel]);
            }
            source += 2;
            target += 4;
        }
        source += skip;
    }
    BitsPerPixel = 32;
    return true;
}

bool TTextureImage::ConvertBmp8(std::FILE* file) {
    std::unique_ptr<std::uint8_t[]> data = ReadPixelData(file, ImageSize);
    if (!data) {
        return false;
    }
    Pixels = new std::uint8_t[PixelBytes(Width, Height)];
    const std::size_t skip = static_cast<std::size_t>(RowStride(8)) - std::size_t(Width);
    const std::uint8_t* source = data.get();
    std::uint8_t* target = Pixels;
    for (std::int32_t row = 0; row < Height; ++row) {
        for (std::int32_t column = 0; column < Width; ++column) {
            const std::uint8_t* entry = ColourTable + 4 * *source++;
            target[0] = entry[2];
            target[1] = entry[1];
            target[2] = entry[0];
            target += 4;
        }
        source += skip;
    }
    BitsPerPixel = 32;
    return true;
}

bool TTextureImage::ConvertBmp4(std::FILE* file) {
    std::unique_ptr<std::uint8_t[]> data = ReadPixelData(file, ImageSize);
    if (!data) {
        return false;
    }
    Pixels = new std::uint8_t[PixelBytes(Width, Height)];
    const std::size_t skip = static_cast<std::size_t>(RowStride(4)) - std::size_t(Width / 2);
    const std::uint8_t* source = data.get();
    std::uint8_t* target = Pixels;
    for (std::int32_t row = 0; row < Height; ++row) {
        for (std::int32_t column = 0; column < Width; ++column) {
            std::uint8_t index;
            if (column % 2 == 0) {
                index = static_cast<std::uint8_t>(*source >> 4);
            } else {
                index = static_cast<std::uint8_t>(*source & 0x0F);
                ++source;
            }
            const std::uint8_t* entry = ColourTable + 4 * index;
            target[0] = entry[2];
            target[1] = entry[1];
            target[2] = entry[0];
            target += 4;
        }
        source += skip;
    }
    BitsPerPixel = 32;
    return true;
}
