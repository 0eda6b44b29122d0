// Stored expected results: picture files made here from a fixed pattern, and for each
// the size and a hash of the red, green, blue, alpha bytes our reader must give, or the
// refusal it must end in. The hashes were taken once from an independent reading of the
// same files (ImageMagick's decode, rows turned bottom first, 16-bit samples cut to their
// top byte; the 10-bit BMP channels computed from the masks by hand), so a change in any
// reader's output fails here with no outside program needed when the tests run.
#include "tests/test_texture_png.h"

#include <functional>

#include "textures/ImageErrors.h"
#include "textures/TextureImage.h"

namespace {

constexpr int Width = 13; // odd, so that BMP rows carry padding and nibbles split
constexpr int Height = 7;

enum class Outcome { Loads, Refused };

struct Golden {
    std::string Name;
    std::function<void(const std::string& path)> Write;
    Outcome Result;
    std::uint64_t Hash = 0; // of Width × Height × 4 bytes, when the file loads
};

// FNV-1a, 64 bits.
std::uint64_t HashOf(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (std::size_t i = 0; i < count; ++i) {
        hash = (hash ^ bytes[i]) * 0x100000001B3u;
    }
    return hash;
}

// A sample of the test pattern: every channel of every pixel differs.
std::uint32_t Sample(int x, int y, int channel, int bits) {
    const std::uint32_t value = std::uint32_t(x * 4099 + y * 7919 + channel * 12345 + x * y * 31);
    return value & ((1u << bits) - 1);
}

// A PNG of `channels` samples a pixel at 16 bits (big-endian, as the file stores them).
std::function<void(const std::string&)> Png16(int colourType, int channels, bool interlaced) {
    return [=](const std::string& path) {
        PngPicture p;
        p.Width = Width;
        p.Height = Height;
        p.Depth = 16;
        p.ColourType = colourType;
        p.Interlaced = interlaced;
        for (int y = 0; y < Height; ++y) {
            Bytes row;
            for (int x = 0; x < Width; ++x) {
                for (int c = 0; c < channels; ++c) {
                    const std::uint32_t s = Sample(x, y, c, 16);
                    row.push_back(std::uint8_t(s >> 8));
                    row.push_back(std::uint8_t(s));
                }
            }
            p.Rows.push_back(row);
        }
        WritePng(path, p);
    };
}

// A palette PNG of 1, 2 or 4 bits with a full palette and no transparency.
std::function<void(const std::string&)> PngPalette(int depth, bool interlaced) {
    return [=](const std::string& path) {
        PngPicture p;
        p.Width = Width;
        p.Height = Height;
        p.Depth = depth;
        p.ColourType = PNG_COLOR_TYPE_PALETTE;
        p.Interlaced = interlaced;
        const int levels = 1 << depth;
        for (int i = 0; i < levels; ++i) {
            p.Palette.push_back({png_byte(i * 37 + 5), png_byte(250 - i * 13), png_byte(i * 71)});
        }
        for (int y = 0; y < Height; ++y) {
            Bytes row((std::size_t(Width) * std::size_t(depth) + 7) / 8, 0);
            for (int x = 0; x < Width; ++x) {
                const std::uint32_t index = std::uint32_t(x + 3 * y) % std::uint32_t(levels);
                const std::size_t bit = std::size_t(x) * std::size_t(depth);
                row[bit / 8] |= std::uint8_t(index << (8 - depth - int(bit % 8)));
            }
            p.Rows.push_back(row);
        }
        WritePng(path, p);
    };
}

// A 32-bit BMP with bit fields; the pattern fills all 32 bits of every pixel.
std::function<void(const std::string&)> Bmp32BitFields(std::uint32_t red, std::uint32_t green,
                                                       std::uint32_t blue) {
    return [=](const std::string& path) {
        Bytes f(66 + std::size_t(Width) * Height * 4, 0);
        f[0] = 'B';
        f[1] = 'M';
        PutLe32(f, 2, std::uint32_t(f.size()));
        PutLe32(f, 10, 66);
        PutLe32(f, 14, 40);
        PutLe32(f, 18, Width);
        PutLe32(f, 22, Height);
        PutLe16(f, 26, 1);
        PutLe16(f, 28, 32);
        PutLe32(f, 30, 3);
        PutLe32(f, 54, red);
        PutLe32(f, 58, green);
        PutLe32(f, 62, blue);
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < Width; ++x) {
                const std::uint32_t word = Sample(x, y, 0, 16) << 16 | Sample(x, y, 1, 16);
                PutLe32(f, 66 + (std::size_t(y) * Width + std::size_t(x)) * 4, word);
            }
        }
        WriteBytes(path, f);
    };
}

// A 24-bit TGA, bottom row first, with a 9-byte image ID before its pixels.
void Tga24WithImageId(const std::string& path) {
    Bytes pixels;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            for (int c = 0; c < 3; ++c) {
                pixels.push_back(std::uint8_t(Sample(x, y, c, 8)));
            }
        }
    }
    WriteBytes(path, MakeTga(Width, Height, 24, pixels, 0, "larkspur!"));
}

// The 16-bit PNG cut short inside its picture data.
void PngCutShort(const std::string& path) {
    Png16(PNG_COLOR_TYPE_RGB, 3, false)(path);
    Bytes file = ReadBytes(path);
    // Erased, not resized: a resize may grow, and GCC's overflow check then sees a
    // wrapped size in the sanitized build.
    const std::size_t keep = file.size() > 40 ? file.size() - 40 : 0;
    file.erase(file.begin() + static_cast<std::ptrdiff_t>(keep), file.end());
    WriteBytes(path, file);
}

std::vector<Golden> Table() {
    return {
        {"rgb16.png", Png16(PNG_COLOR_TYPE_RGB, 3, false), Outcome::Loads, 0x894bf9c6a82a72dbu},
        {"rgba16.png", Png16(PNG_COLOR_TYPE_RGB_ALPHA, 4, false), Outcome::Loads,
         0x80f4dbc0706b61f3u},
        {"grey16.png", Png16(PNG_COLOR_TYPE_GRAY, 1, false), Outcome::Loads, 0x95c284e739fe4875u},
        {"greyalpha16.png", Png16(PNG_COLOR_TYPE_GRAY_ALPHA, 2, false), Outcome::Loads,
         0xc7ee39f805fce619u},
        {"rgba16-interlaced.png", Png16(PNG_COLOR_TYPE_RGB_ALPHA, 4, true), Outcome::Loads,
         0x80f4dbc0706b61f3u},
        {"palette1.png", PngPalette(1, false), Outcome::Loads, 0xfebd1e79034eb00au},
        {"palette2.png", PngPalette(2, false), Outcome::Loads, 0x03e8def6aaa815d2u},
        {"palette4.png", PngPalette(4, false), Outcome::Loads, 0xe1ce23dfbdb1bb0eu},
        {"palette4-interlaced.png", PngPalette(4, true), Outcome::Loads, 0xe1ce23dfbdb1bb0eu},
        {"cut-short.png", PngCutShort, Outcome::Refused},
        {"bitfields-101010.bmp", Bmp32BitFields(0x3FF00000, 0x000FFC00, 0x000003FF), Outcome::Loads,
         0x1062da2171958385u},
        {"bitfields-rbg.bmp", Bmp32BitFields(0x000000FF, 0x00FF0000, 0x0000FF00), Outcome::Loads,
         0x37d8a5364322ac1au},
        {"image-id.tga", Tga24WithImageId, Outcome::Loads, 0xbead62724320c938u},
    };
}

} // namespace

TEST(GoldenPictures, EachFileGivesItsStoredResult) {
    ScratchFolder folder;
    for (const Golden& golden : Table()) {
        SCOPED_TRACE(golden.Name);
        const std::string path = folder.File(golden.Name);
        golden.Write(path);
        TTextureImage image("");
        bool loaded = false;
        bool raised = false;
        try {
            loaded = image.LoadImageFile(path);
        } catch (const EInOutError&) {
            raised = true;
        }
        switch (golden.Result) {
        case Outcome::Loads: {
            ASSERT_FALSE(raised);
            ASSERT_TRUE(loaded);
            ASSERT_NE(image.Pixels, nullptr);
            EXPECT_EQ(image.Width, Width);
            EXPECT_EQ(image.Height, Height);
            const std::uint64_t hash =
                HashOf(image.Pixels, std::size_t(image.Width) * std::size_t(image.Height) * 4);
            EXPECT_EQ(hash, golden.Hash) << std::hex << "0x" << hash;
            break;
        }
        case Outcome::Refused:
            EXPECT_FALSE(raised);
            EXPECT_FALSE(loaded);
            EXPECT_EQ(image.Pixels, nullptr);
            break;
        }
    }
}
