// The TGA reader on hand-made files: both depths, the image ID, refused kinds, and
// sizes a damaged header claims.
#include "tests/test_texture_files.h"

#include "textures/ImageErrors.h"
#include "textures/TextureImage.h"

namespace {

class TgaReader : public testing::Test {
  protected:
    bool Load(const Bytes& file) {
        WriteBytes(Folder.File("p.tga"), file);
        return Image.LoadImageFile(Folder.File("p.tga"));
    }
    Bytes PixelsOf() const {
        return Bytes(Image.Pixels, Image.Pixels + std::size_t(Image.Width) * Image.Height * 4);
    }
    ScratchFolder Folder;
    TTextureImage Image{""};
};

} // namespace

TEST_F(TgaReader, TwentyFourBitIsOpaque) {
    ASSERT_TRUE(Load(MakeTga(2, 1, 24, {0, 0, 255, 255, 0, 0})));
    EXPECT_EQ(PixelsOf(), (Bytes{255, 0, 0, 255, 0, 0, 255, 255}));
    EXPECT_EQ(Image.BitsPerPixel, 24);
    EXPECT_EQ(Image.ImageSize, 6);
}

TEST_F(TgaReader, ThirtyTwoBitKeepsAlpha) {
    ASSERT_TRUE(Load(MakeTga(1, 1, 32, {10, 20, 30, 40})));
    EXPECT_EQ(PixelsOf(), (Bytes{30, 20, 10, 40}));
    EXPECT_EQ(Image.BitsPerPixel, 32);
}

TEST_F(TgaReader, ReadsExactlyTheRowsAndStepsOverTheImageId) {
    Bytes pixels(27);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = std::uint8_t(i);
    }
    Bytes file = MakeTga(3, 3, 24, pixels, 0, "an image id");
    file.push_back(0xEE); // bytes after the pixel data are not pixels
    ASSERT_TRUE(Load(file));
    EXPECT_EQ(Image.ImageSize, 27);
    EXPECT_EQ(Image.Pixels[0], 2);
    EXPECT_EQ(Image.Pixels[8 * 4 + 0], 26);
    EXPECT_EQ(Image.Pixels[8 * 4 + 2], 24);
}

TEST_F(TgaReader, OtherKindsAreRefused) {
    Bytes file = MakeTga(1, 1, 24, {1, 2, 3});
    file[2] = 10; // run-length coded
    EXPECT_FALSE(Load(file));
    file[2] = 2;
    file[1] = 1; // colour map
    EXPECT_FALSE(Load(file));
    for (int depth : {8, 15, 16}) {
        EXPECT_FALSE(Load(MakeTga(1, 1, depth, {1, 2, 3}))) << depth;
        EXPECT_EQ(Image.Pixels, nullptr);
    }
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("missing.tga")));
}

TEST_F(TgaReader, ShortOrEmptyPixelDataLeavesNoBuffer) {
    EXPECT_FALSE(Load(MakeTga(2, 2, 24, {1, 2, 3, 4, 5, 6, 7, 8, 9})));
    EXPECT_EQ(Image.Pixels, nullptr);
    EXPECT_EQ(Image.Width, 2);
    EXPECT_EQ(Image.ImageSize, 12);
    EXPECT_FALSE(Load(MakeTga(2, 2, 32, {1, 2, 3, 4, 5, 6, 7})));
    EXPECT_EQ(Image.Pixels, nullptr);
    EXPECT_EQ(Image.ImageSize, 16);
    EXPECT_FALSE(Load(MakeTga(0, 2, 32, {})));
    EXPECT_FALSE(Load(MakeTga(2, 0, 24, {})));
    EXPECT_FALSE(Load(MakeTga(65535, 65535, 32, {1, 2, 3, 4})));
    EXPECT_EQ(Image.Pixels, nullptr);
    Bytes idBeyondEnd = MakeTga(1, 1, 24, {});
    idBeyondEnd[0] = 200;
    EXPECT_FALSE(Load(idBeyondEnd));
}

TEST_F(TgaReader, SidesBeyondTheTextureLimitAreRefused) {
    EXPECT_TRUE(Load(MakeTga(8192, 1, 24, Bytes(8192 * 3, 7))));
    EXPECT_FALSE(Load(MakeTga(8193, 1, 24, Bytes(8193 * 3, 7))));
    EXPECT_FALSE(Load(MakeTga(1, 8193, 32, Bytes(8193 * 4, 7))));
    EXPECT_EQ(Image.Pixels, nullptr);
}

TEST_F(TgaReader, HeaderCutShortRaises) {
    const Bytes full = MakeTga(1, 1, 24, {1, 2, 3});
    for (std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(17)}) {
        WriteBytes(Folder.File("short.tga"), Bytes(full.begin(), full.begin() + long(size)));
        EXPECT_THROW(Image.LoadImageFile(Folder.File("short.tga")), EInOutError) << size;
    }
}
