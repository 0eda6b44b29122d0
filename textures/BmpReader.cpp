// BMP reader: uncompressed Windows bitmaps of 4, 8, 16 and 32 (both with bit fields), and
// 24 bits. Rows stay in file order. Every size and offset from the file is checked
// against the picture limits and the file's real length before it is used, and one row
// walker serves every depth, so the row layout and its bounds live in one place.
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

// Reads `size` bytes of pixel data into a temporary buffer; null on a short read.
std::unique_ptr<std::uint8_t[]> ReadPixelData(std::FILE* file, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> data(new std::uint8_t[size]);
    if (ReadSome(file, data.get(), size) != size) {
        return nullptr;
    }
    return data;
}

std::size_t PixelBytes(std::int32_t width, std::int32_t height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
}

// Three little-endian 32-bit masks, red, green, blue, into the colour table.
void StoreMasks(std::uint8_t* table, std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    const std::uint32_t masks[3] = {red, green, blue};
    for (int i = 0; i < 3; ++i) {
        for (int b = 0; b < 4; ++b) {
            table[i * 4 + b] = static_cast<std::uint8_t>(masks[i] >> (8 * b));
        }
    }
}

// One channel of a bit-field pixel: its mask, where it starts and how wide it is.
struct Channel {
    std::uint32_t Mask;
    int Shift;
    int Bits;
};

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
        if (bits == 16 || bits == 32) {
            // The masks follow the 40-byte header; the longer headers hold them at the
            // same offset.
            ReadChecked(file, ColourTable, 12);
        }
    } else if (compression == BiRgb) {
        // Without bit fields a 16-bit file is 5-5-5 and a 32-bit one blue, green, red, x.
        if (bits == 16) {
            StoreMasks(ColourTable, 0x7C00, 0x03E0, 0x001F);
        } else if (bits == 32) {
            StoreMasks(ColourTable, 0x00FF0000, 0x0000FF00, 0x000000FF);
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
    // Data beyond the end of the file is not there to read, so no buffer is made for it;
    // whether the data holds every row is the row walk's check.
    const std::int64_t left = BytesLeft(file);
    const std::int64_t wanted = bits == 32 ? static_cast<std::int64_t>(PixelBytes(Width, Height))
                                           : static_cast<std::int64_t>(ImageSize);
    if (wanted < 0 || left < 0 || wanted > left) {
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

// Every stored row is RowStride(bits) bytes, its padding stepped over; each of its Width
// pixels goes to `convert` with the row's first byte and the column. The data must hold
// Height whole rows: checked here, once, for every depth.
template <typename Convert>
bool TTextureImage::WalkBmpRows(const std::uint8_t* data, std::size_t size, int bits,
                                Convert convert) {
    const std::size_t stride = static_cast<std::size_t>(RowStride(bits));
    if (Width <= 0 || Height <= 0 || stride == 0 ||
        size / stride < static_cast<std::size_t>(Height)) {
        return false;
    }
    Pixels = new std::uint8_t[PixelBytes(Width, Height)];
    std::uint8_t* target = Pixels;
    for (std::int32_t row = 0; row < Height; ++row) {
        const std::uint8_t* source = data + stride * static_cast<std::size_t>(row);
        for (std::int32_t column = 0; column < Width; ++column, target += 4) {
            convert(source, static_cast<std::size_t>(column), target);
        }
    }
    BitsPerPixel = 32;
    return true;
}

// The pixel data of one depth, then its walk. At 32 bits the data is Width × Height × 4
// bytes whatever the header's image size says; below, it is ImageSize bytes.
template <typename Convert>
bool TTextureImage::ConvertBmpRows(std::FILE* file, int bits, Convert convert) {
    const std::size_t size =
        bits == 32 ? PixelBytes(Width, Height) : static_cast<std::size_t>(ImageSize);
    std::unique_ptr<std::uint8_t[]> data = ReadPixelData(file, size);
    return data && WalkBmpRows(data.get(), size, bits, convert);
}

bool TTextureImage::ConvertBmp32(std::FILE* file) {
    return ConvertBmpMasked(file, 32);
}

bool TTextureImage::ConvertBmp24(std::FILE* file) {
    return ConvertBmpRows(file, 24,
                          [](const std::uint8_t* row, std::size_t column, std::uint8_t* target) {
                              const std::uint8_t* pixel = row + 3 * column;
                              target[0] = pixel[2];
                              target[1] = pixel[1];
                              target[2] = pixel[0];
                          });
}

bool TTextureImage::ConvertBmp16(std::FILE* file) {
    return ConvertBmpMasked(file, 16);
}

// 16- and 32-bit pixels split by the three masks of the colour table, each channel
// widened or narrowed to 8 bits. Mask bits beyond the pixel's own bits are dropped.
bool TTextureImage::ConvertBmpMasked(std::FILE* file, int bits) {
    const std::uint32_t inPixel = bits == 32 ? 0xFFFFFFFFu : 0xFFFFu;
    Channel channels[3];
    for (int channel = 0; channel < 3; ++channel) {
        const std::uint32_t mask = ReadLe32(ColourTable + channel * 4) & inPixel;
        channels[channel] = {mask, mask == 0 ? 0 : LowestSetBit(mask), CountSetBits(mask)};
    }
    const std::size_t bytes = static_cast<std::size_t>(bits / 8);
    return ConvertBmpRows(
        file, bits,
        [&channels, bytes](const std::uint8_t* row, std::size_t column, std::uint8_t* target) {
            const std::uint8_t* pixel = row + bytes * column;
            const std::uint32_t word = bytes == 4 ? ReadLe32(pixel) : ReadLe16(pixel);
            for (int channel = 0; channel < 3; ++channel) {
                const Channel& c = channels[channel];
                target[channel] = WidenChannel((word & c.Mask) >> c.Shift, c.Bits);
            }
        });
}

bool TTextureImage::ConvertBmp8(std::FILE* file) {
    return ConvertBmpRows(file, 8,
                          [this](const std::uint8_t* row, std::size_t column,
                                 std::uint8_t* target) { PaletteColour(row[column], target); });
}

bool TTextureImage::ConvertBmp4(std::FILE* file) {
    // The first pixel of each byte is its high nibble.
    return ConvertBmpRows(
        file, 4, [this](const std::uint8_t* row, std::size_t column, std::uint8_t* target) {
            const std::uint8_t byte = row[column / 2];
            PaletteColour(column % 2 == 0 ? byte >> 4 : byte & 0x0F, target);
        });
}

// A palette entry (blue, green, red, reserved) as red, green, blue.
void TTextureImage::PaletteColour(unsigned index, std::uint8_t* target) const {
    const std::uint8_t* entry = ColourTable + 4 * index;
    target[0] = entry[2];
    target[1] = entry[1];
    target[2] = entry[0];
}
