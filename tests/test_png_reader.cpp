// The PNG reader through the run-time binding: every colour type the transformations
// must turn into 3 or 4 bytes a pixel, gamma, and damaged or hostile files.
#include "tests/test_texture_files.h"

#include <dirent.h>

#include <cmath>

#include "libPNG/PngLibrary.h"
#include "tests/test_texture_png.h"
#include "textures/TextureImage.h"

namespace {

int OpenFileCount() {
    int count = 0;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (::readdir(fds) != nullptr) {
            ++count;
        }
        ::closedir(fds);
    }
    return count;
}

class PngReader : public testing::Test {
  protected:
    bool Load(const PngPicture& picture) {
        WritePng(Folder.File("p.png"), picture);
        return Image.LoadImageFile(Folder.File("p.png"));
    }
    Bytes PixelsOf() const {
        return Bytes(Image.Pixels, Image.Pixels + std::size_t(Image.Width) * Image.Height * 4);
    }
    ScratchFolder Folder;
    TTextureImage Image{""};
};

} // namespace

TEST_F(PngReader, RgbIsOpaqueWithItsTopRowLast) {
    ASSERT_TRUE(Image.PngAvailable);
    PngPicture p;
    p.Rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(Image.BitsPerPixel, 32);
    EXPECT_EQ(PixelsOf(), (Bytes{7, 8, 9, 255, 10, 11, 12, 255, 1, 2, 3, 255, 4, 5, 6, 255}));
}

TEST_F(PngReader, AlphaComesFromTheFile) {
    PngPicture p;
    p.Width = 1;
    p.ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
    p.Rows = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(PixelsOf(), (Bytes{5, 6, 7, 8, 1, 2, 3, 4}));

    p.ColourType = PNG_COLOR_TYPE_GRAY_ALPHA;
    p.Rows = {{10, 20}, {30, 40}};
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(PixelsOf(), (Bytes{30, 30, 30, 40, 10, 10, 10, 20}));
}

TEST_F(PngReader, PaletteAndGreyWithAndWithoutTransparency) {
    PngPicture p;
    p.Height = 1;
    p.ColourType = PNG_COLOR_TYPE_PALETTE;
    p.Palette = {{200, 0, 0}, {0, 100, 0}};
    p.Rows = {{1, 0}};
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(PixelsOf(), (Bytes{0, 100, 0, 255, 200, 0, 0, 255}));
    p.PaletteAlpha = {50};
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(PixelsOf(), (Bytes{0, 100, 0, 255, 200, 0, 0, 50}));

    p = PngPicture{};
    p.Height = 1;
    p.ColourType = PNG_COLOR_TYPE_GRAY;
    p.Rows = {{60, 90}};
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(PixelsOf(), (Bytes{60, 60, 60, 255, 90, 90, 90, 255}));
    p.TransparentGrey = 90;
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(PixelsOf(), (Bytes{60, 60, 60, 255, 90, 90, 90, 0}));
}

TEST_F(PngReader, SixteenBitSamplesAreReducedToEight) {
    PngPicture p;
    p.Width = 1;
    p.Height = 1;
    p.Depth = 16;
    p.ColourType = PNG_COLOR_TYPE_RGB_ALPHA;
    p.Rows = {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0x00}};
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(Image.BitsPerPixel, 32);
    EXPECT_EQ(PixelsOf(), (Bytes{0x12, 0x56, 0x9A, 0xFF}));
}

// Palette and grey files of 1, 2 and 4 bits, plain and interlaced, against ImageMagick.
TEST_F(PngReader, LowDepthsMatchImageMagick) {
    ASSERT_TRUE(ConvertAvailable()) << "ImageMagick's convert is not available";
    for (int depth : {1, 2, 4}) {
        for (int colourType : {PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY}) {
            for (bool interlaced : {false, true}) {
                PngPicture p;
                p.Width = 11;
                p.Height = 9;
                p.Depth = depth;
                p.ColourType = colourType;
                p.Interlaced = interlaced;
                const int levels = 1 << depth;
                if (colourType == PNG_COLOR_TYPE_PALETTE) {
                    for (int i = 0; i < levels; ++i) {
                        p.Palette.push_back(
                            {png_byte(i * 37), png_byte(255 - i * 11), png_byte(i * 90)});
                    }
                    p.PaletteAlpha = {0, 128};
                }
                const std::size_t rowBytes = (std::size_t(p.Width) * depth + 7) / 8;
                for (int y = 0; y < p.Height; ++y) {
                    Bytes row(rowBytes);
                    for (std::size_t i = 0; i < rowBytes; ++i) {
                        row[i] = std::uint8_t(y * 53 + i * 29 + 7);
                    }
                    p.Rows.push_back(row);
                }
                const std::string name = "low-" + std::to_string(depth) + "-" +
                                         std::to_string(colourType) + (interlaced ? "i" : "") +
                                         ".png";
                WritePng(Folder.File(name), p);
                Bytes reference;
                ASSERT_TRUE(ConvertToRgba(Folder.File(name), &reference));
                ASSERT_TRUE(Image.LoadImageFile(Folder.File(name))) << name;
                EXPECT_EQ(PixelsOf(), FlipRows(reference, p.Width, p.Height)) << name;
            }
        }
    }
}

TEST_F(PngReader, FileGammaIsCorrectedToTheScreen) {
    PngPicture p;
    p.Width = 1;
    p.Height = 1;
    p.ColourType = PNG_COLOR_TYPE_GRAY;
    p.Rows = {{64}};
    p.Gamma = 1.0 / 2.2; // already for the screen: unchanged
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(Image.Pixels[0], 64);
    p.Gamma = 1.0; // linear samples: brightened for a screen of gamma 2.2
    ASSERT_TRUE(Load(p));
    EXPECT_NEAR(Image.Pixels[0], 255.0 * std::pow(64.0 / 255.0, 1.0 / 2.2), 1.0);
}

TEST_F(PngReader, DamagedFilesFailWithTheStreamClosed) {
    PngPicture p;
    p.Width = 16;
    p.Height = 16;
    p.Rows.assign(16, Bytes(48, 0x5A));
    WritePng(Folder.File("whole.png"), p);
    const Bytes whole = ReadBytes(Folder.File("whole.png"));
    const int filesBefore = OpenFileCount();

    std::vector<Bytes> damaged;
    damaged.push_back(Bytes(whole.begin(), whole.end() - 20)); // cut in the IDAT
    Bytes badCrc = whole;
    badCrc[29] ^= 0xFF; // the IHDR checksum
    damaged.push_back(badCrc);
    Bytes badHeader = whole;
    badHeader[24] = 3; // bit depth 3
    damaged.push_back(badHeader);
    Bytes notPng = whole;
    notPng[1] = 'X';
    damaged.push_back(notPng);
    damaged.push_back(Bytes(whole.begin(), whole.begin() + 4));
    damaged.push_back({});
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        WriteBytes(Folder.File("bad.png"), damaged[i]);
        EXPECT_FALSE(Image.LoadImageFile(Folder.File("bad.png"))) << i;
        EXPECT_EQ(Image.Pixels, nullptr) << i;
    }
    EXPECT_EQ(OpenFileCount(), filesBefore);
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("missing.png")));
}

TEST_F(PngReader, HostileSizesAreRefused) {
    // Found by fuzzing: a text chunk after the picture data claiming 1.7 GB, which
    // libpng would allocate before noticing that the file ends.
    PngPicture p;
    p.Width = 4;
    p.Height = 4;
    p.Rows.assign(4, Bytes(12, 1));
    WritePng(Folder.File("whole.png"), p);
    Bytes file = ReadBytes(Folder.File("whole.png"));
    const Bytes chunk = {0x65, 0x00, 0x00, 0x25, 't', 'E', 'X', 't', 'a', 0, 'b'};
    file.insert(file.end() - 12, chunk.begin(), chunk.end());
    WriteBytes(Folder.File("text.png"), file);
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("text.png")));
    EXPECT_EQ(Image.Pixels, nullptr);

    // Sides beyond what a texture takes are refused before any buffer is made.
    p.Width = 8192;
    p.Height = 1;
    p.ColourType = PNG_COLOR_TYPE_GRAY;
    p.Rows.assign(1, Bytes(8192, 9));
    EXPECT_TRUE(Load(p));
    p.Width = 8193;
    p.Rows.assign(1, Bytes(8193, 9));
    EXPECT_FALSE(Load(p));
    p.Width = 1;
    p.Height = 8193;
    p.Rows.assign(8193, Bytes(1, 9));
    EXPECT_FALSE(Load(p));
    EXPECT_EQ(Image.Pixels, nullptr);
}
