// The BMP reader on hand-made files: the layouts of each depth, and every size, offset
// and count of a damaged or hostile header.
#include "tests/test_texture_files.h"

#include "textures/ImageErrors.h"
#include "textures/TextureImage.h"

namespace {

struct BmpFile {
    std::int32_t Width = 1;
    std::int32_t Height = 1;
    int Bits = 24;
    std::uint32_t Compression = 0;
    std::uint32_t HeaderSize = 40;
    std::uint32_t ColoursUsed = 0;
    std::uint32_t ImageSize = 0;
    Bytes Masks;   // written right after the 40 header bytes
    Bytes Palette; // written after the whole info header
    Bytes Data;
};

std::size_t RowBytes(std::int32_t width, int bits) {
    return (std::size_t(width) * std::size_t(bits) + 31) / 32 * 4;
}

Bytes Build(const BmpFile& b) {
    // Sized once: growing the header vector piece by piece trips GCC 12's array-bounds
    // analysis in optimised builds.
    const std::size_t headerEnd =
        14 + std::max<std::size_t>(40 + b.Masks.size(), b.HeaderSize <= 4096 ? b.HeaderSize : 0);
    const std::size_t dataAt = headerEnd + b.Palette.size();
    Bytes f(dataAt + b.Data.size(), 0);
    f[0] = 'B';
    f[1] = 'M';
    PutLe32(f, 2, std::uint32_t(f.size()));
    PutLe32(f, 10, std::uint32_t(dataAt));
    PutLe32(f, 14, b.HeaderSize);
    PutLe32(f, 18, std::uint32_t(b.Width));
    PutLe32(f, 22, std::uint32_t(b.Height));
    PutLe16(f, 26, 1);
    PutLe16(f, 28, std::uint32_t(b.Bits));
    PutLe32(f, 30, b.Compression);
    PutLe32(f, 34, b.ImageSize);
    PutLe32(f, 46, b.ColoursUsed);
    std::copy(b.Masks.begin(), b.Masks.end(), f.begin() + 54);
    std::copy(b.Palette.begin(), b.Palette.end(), f.begin() + std::ptrdiff_t(headerEnd));
    std::copy(b.Data.begin(), b.Data.end(), f.begin() + std::ptrdiff_t(dataAt));
    return f;
}

class BmpReader : public testing::Test {
  protected:
    bool Load(const Bytes& file) {
        WriteBytes(Folder.File("p.bmp"), file);
        return Image.LoadImageFile(Folder.File("p.bmp"));
    }
    Bytes PixelsOf() const {
        return Bytes(Image.Pixels, Image.Pixels + std::size_t(Image.Width) * Image.Height * 4);
    }
    ScratchFolder Folder;
    TTextureImage Image{""};
};

} // namespace

TEST_F(BmpReader, Rgb24RowsSkipTheirPaddingInFileOrder) {
    BmpFile b;
    b.Width = 2;
    b.Height = 2;
    b.Data = {0, 0, 255, 0, 255, 0, 9, 9, /**/ 255, 0, 0, 255, 255, 255, 9, 9};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(Image.BitsPerPixel, 32);
    EXPECT_EQ(Image.ImageSize, 16);
    EXPECT_EQ(PixelsOf(),
              (Bytes{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255}));

    // 3 × 2 (3 padding bytes) and 2 × 3 (2 padding bytes) load without skew.
    b.Width = 3;
    b.Data.assign(24, 0);
    b.Data[9] = b.Data[10] = b.Data[11] = 0x77; // padding
    b.Data[12] = 1;                             // second row, first pixel, blue
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(Image.Pixels[3 * 4 + 2], 1);
    EXPECT_EQ(Image.Pixels[2 * 4 + 0], 0);
    b.Width = 2;
    b.Height = 3;
    b.Data.assign(24, 0);
    b.Data[16 + 2] = 5; // third row, first pixel, red
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(Image.Pixels[4 * 4 + 0], 5);
}

TEST_F(BmpReader, NegativeHeightKeepsFileOrder) {
    BmpFile b;
    b.Height = -2;
    b.Data = {1, 1, 1, 0, 2, 2, 2, 0};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(Image.Height, 2);
    EXPECT_EQ(Image.Pixels[0], 1);
    EXPECT_EQ(Image.Pixels[4], 2);
}

TEST_F(BmpReader, Palette4And8) {
    BmpFile b;
    b.Width = 3;
    b.Bits = 4;
    b.ColoursUsed = 3;
    b.Palette = {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0};
    b.Data = {0x01, 0x20, 0, 0};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{0, 0, 255, 255, 0, 255, 0, 255, 255, 0, 0, 255}));

    b.Bits = 8;
    b.Data = {2, 1, 0, 0};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255}));
}

TEST_F(BmpReader, ColoursUsedZeroReadsTheFullPalette) {
    BmpFile b;
    b.Bits = 4;
    b.Palette.assign(16 * 4, 0);
    b.Palette[15 * 4 + 1] = 200; // entry 15: green
    b.Data = {0xF0, 0, 0, 0};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{0, 200, 0, 255}));
    b.Palette.resize(15 * 4); // the file ends one entry short of 2^4
    b.Data.clear();
    EXPECT_FALSE(Load(Build(b)));
    EXPECT_EQ(Image.Pixels, nullptr);
}

TEST_F(BmpReader, TooManyColoursAreRefused) {
    BmpFile b;
    b.Bits = 8;
    b.ColoursUsed = 257;
    b.Palette.assign(257 * 4, 0);
    b.Data = {0, 0, 0, 0};
    EXPECT_FALSE(Load(Build(b)));
    EXPECT_EQ(Image.Pixels, nullptr);
}

TEST_F(BmpReader, PaletteFollowsALongerInfoHeader) {
    BmpFile b;
    b.Bits = 8;
    b.HeaderSize = 124;
    b.ColoursUsed = 2;
    b.Palette = {0, 0, 0, 0, 10, 20, 30, 0};
    b.Data = {1, 0, 0, 0};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{30, 20, 10, 255}));
}

TEST_F(BmpReader, SixteenBitMasks) {
    BmpFile b;
    b.Width = 2;
    b.Bits = 16;
    b.Compression = 3;
    b.Masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
    b.Data = {0xFF, 0xFF, 0x10, 0x84}; // all bits; bits 15, 10 and 4
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{255, 255, 255, 255, 132, 130, 132, 255}));

    // 5-5-5, given as bit fields and implied by compression 0.
    b.Masks = {0x00, 0x7C, 0, 0, 0xE0, 0x03, 0, 0, 0x1F, 0, 0, 0};
    b.Data = {0xFF, 0x7F, 0x00, 0x80};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{255, 255, 255, 255, 0, 0, 0, 255}));
    b.Compression = 0;
    b.Masks.clear();
    TTextureImage fresh("");
    WriteBytes(Folder.File("q.bmp"), Build(b));
    ASSERT_TRUE(fresh.LoadImageFile(Folder.File("q.bmp")));
    EXPECT_EQ(Bytes(fresh.Pixels, fresh.Pixels + 8), (Bytes{255, 255, 255, 255, 0, 0, 0, 255}));

    // The masks of a longer header stand at offset 54, inside it.
    b.Compression = 3;
    b.HeaderSize = 124;
    b.Masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
    b.Data = {0x1F, 0x00, 0xE0, 0x07};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{0, 0, 255, 255, 0, 255, 0, 255}));
}

// Bit-field masks apply at 32 bits as at 16; channels wider than 8 bits keep their top 8
// bits, and alpha stays 255 whatever the file holds.
TEST_F(BmpReader, MasksAt32BitsAndWideChannels) {
    BmpFile b;
    b.Width = 2;
    b.Bits = 32;
    b.Compression = 3;
    b.Masks.assign(12, 0); // 2-10-10-10: red in bits 20-29, green 10-19, blue 0-9
    PutLe32(b.Masks, 0, 0x3FF00000);
    PutLe32(b.Masks, 4, 0x000FFC00);
    PutLe32(b.Masks, 8, 0x000003FF);
    b.Data.assign(8, 0);
    PutLe32(b.Data, 0, 0x3FF00000 | (0x200 << 10) | 0x0FF);
    PutLe32(b.Data, 4, 0xC0000000 | (0x0FF << 20) | (0x3FF << 10) | 0x1FF);
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{255, 128, 63, 255, 63, 255, 127, 255}));

    // Red, blue, green, alpha in byte order: not the plain layout.
    PutLe32(b.Masks, 0, 0x000000FF);
    PutLe32(b.Masks, 4, 0x00FF0000);
    PutLe32(b.Masks, 8, 0x0000FF00);
    b.Data = {10, 20, 30, 40, 1, 2, 3, 4};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{10, 30, 20, 255, 1, 3, 2, 255}));

    // A 16-bit file with a 10-bit green (bits 1-10) and a 1-bit blue.
    b.Bits = 16;
    PutLe32(b.Masks, 0, 0xF800);
    PutLe32(b.Masks, 4, 0x07FE);
    PutLe32(b.Masks, 8, 0x0001);
    b.Data = {0xB6, 0x05, 0, 0}; // green 0x2DB
    b.Width = 1;
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{0, 0xB6, 0, 255}));

    // Masks cut short raise as the 16-bit ones do.
    b.Bits = 32;
    b.Masks.resize(8);
    b.Data.clear();
    EXPECT_THROW(Load(Build(b)), EInOutError);
}

TEST_F(BmpReader, ThirtyTwoBitIgnoresTheFourthByte) {
    BmpFile b;
    b.Bits = 32;
    b.Data = {10, 20, 30, 0};
    ASSERT_TRUE(Load(Build(b)));
    EXPECT_EQ(PixelsOf(), (Bytes{30, 20, 10, 255}));
    EXPECT_EQ(Image.BitsPerPixel, 32);
}

TEST_F(BmpReader, UnsupportedKindsAreRefused) {
    BmpFile b;
    b.Data = {0, 0, 0, 0};
    for (std::uint32_t compression : {1u, 2u, 4u}) {
        b.Compression = compression;
        EXPECT_FALSE(Load(Build(b))) << compression;
    }
    b.Compression = 0;
    b.Bits = 1;
    b.Palette.assign(8, 0);
    EXPECT_FALSE(Load(Build(b)));
    b.Bits = 24;
    b.Palette.clear();
    b.HeaderSize = 12;
    EXPECT_FALSE(Load(Build(b)));
    b.HeaderSize = 16;
    EXPECT_FALSE(Load(Build(b)));
    Bytes notBmp = Build(BmpFile{});
    notBmp[0] = 'X';
    EXPECT_FALSE(Load(notBmp));
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("missing.bmp")));
    EXPECT_EQ(Image.Pixels, nullptr);
}

TEST_F(BmpReader, HostileSizesLeaveNoBuffer) {
    const auto refused = [&](BmpFile b, const char* what) {
        EXPECT_FALSE(Load(Build(b))) << what;
        EXPECT_EQ(Image.Pixels, nullptr) << what;
    };
    BmpFile b;
    b.Data = {1, 2, 3, 0};
    BmpFile c = b;
    c.Width = 0;
    refused(c, "zero width");
    c.Width = -1;
    refused(c, "negative width");
    c = b;
    c.Height = 0;
    refused(c, "zero height");
    c.Height = INT32_MIN;
    refused(c, "height without absolute value");
    c = b;
    c.Width = 8192;
    c.Data.assign(8192 * 3, 1);
    EXPECT_TRUE(Load(Build(c))) << "widest texture";
    c.Width = 8193;
    c.Data.assign(RowBytes(8193, 24), 1);
    refused(c, "wider than a texture");
    c.Width = 1;
    c.Height = -8193;
    c.Data.assign(8193 * 4, 1);
    refused(c, "taller than a texture, top row first");
    c.Width = 8192;
    c.Height = 8192;
    refused(c, "too large for its data");
    c = b;
    c.Width = 0x40000000;
    c.Height = 4;
    c.Bits = 32;
    refused(c, "overflowing size");
    c = b;
    c.ImageSize = 2;
    refused(c, "image size smaller than the rows");
    c = b;
    c.ImageSize = 0x7FFFFFFF;
    refused(c, "image size beyond the file");
    c.ImageSize = 0x80000000;
    refused(c, "image size negative as a signed field");
    c = b;
    c.Data.resize(2);
    refused(c, "pixel data cut short");
    c = b;
    c.Bits = 32;
    c.Data.resize(3);
    refused(c, "32-bit pixel data cut short");
    Bytes far = Build(b);
    PutLe32(far, 10, 0x7FFFFFF0);
    EXPECT_FALSE(Load(far));
    c = b;
    c.Bits = 8;
    c.HeaderSize = 0x7FFFFFF0;
    c.ColoursUsed = 1;
    refused(c, "palette beyond the file");
}

TEST_F(BmpReader, HeadersCutShortRaise) {
    BmpFile b;
    b.Bits = 16;
    b.Compression = 3;
    b.Masks.assign(12, 0xFF);
    b.Data = {0, 0, 0, 0};
    const Bytes full = Build(b);
    for (std::size_t size : {std::size_t(0), std::size_t(2), std::size_t(13), std::size_t(14),
                             std::size_t(53), std::size_t(60)}) {
        WriteBytes(Folder.File("short.bmp"), Bytes(full.begin(), full.begin() + long(size)));
        try {
            Image.LoadImageFile(Folder.File("short.bmp"));
            ADD_FAILURE() << size << " bytes loaded";
        } catch (const EInOutError& error) {
            EXPECT_STREQ(error.what(), "Read beyond end of file");
        }
        EXPECT_EQ(Image.Pixels, nullptr);
    }
}
