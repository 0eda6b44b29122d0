// The JPEG reader: size, orientation and opacity of a decoded picture, and what happens
// to files that are missing, not JPEG, or damaged inside the picture data.
#include "tests/test_texture_files.h"

#include "textures/ImageErrors.h"
#include "textures/TextureImage.h"

namespace {

// A picture with a red top half and a blue bottom half.
Bytes RedOverBlue(int width, int height) {
    Bytes rgb(std::size_t(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &rgb[(std::size_t(y) * width + x) * 3];
            p[0] = y < height / 2 ? 255 : 0;
            p[2] = y < height / 2 ? 0 : 255;
        }
    }
    return rgb;
}

class JpegReader : public testing::Test {
  protected:
    ScratchFolder Folder;
    TTextureImage Image{""};
};

} // namespace

TEST_F(JpegReader, FullSizeBottomRowFirstOpaque) {
    WriteJpeg(Folder.File("p.jpg"), 640, 480, RedOverBlue(640, 480));
    ASSERT_TRUE(Image.LoadImageFile(Folder.File("p.jpg")));
    EXPECT_EQ(Image.Width, 640);
    EXPECT_EQ(Image.Height, 480);
    EXPECT_EQ(Image.BitsPerPixel, 32);
    const std::uint8_t* first = Image.Pixels;                      // bottom left
    const std::uint8_t* last = Image.Pixels + (640 * 480 - 1) * 4; // top right
    EXPECT_LT(first[0], 8);
    EXPECT_GT(first[2], 247);
    EXPECT_GT(last[0], 247);
    EXPECT_LT(last[2], 8);
    for (std::size_t i = 3; i < 640u * 480 * 4; i += 4) {
        ASSERT_EQ(Image.Pixels[i], 255);
    }
}

TEST_F(JpegReader, MissingOrNotJpegIsFalseWithoutAnError) {
    Image.Width = 7;
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("missing.jpg")));
    std::ofstream(Folder.File("text.jpg")) << "This is a plain text file, not a picture.\n";
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("text.jpg")));
    WriteBytes(Folder.File("empty.jpg"), {});
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("empty.jpg")));
    WriteBytes(Folder.File("soi.jpg"), {0xFF, 0xD8, 0xFF});
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("soi.jpg")));
    EXPECT_EQ(Image.Pixels, nullptr);
    EXPECT_EQ(Image.Width, 7);
}

TEST_F(JpegReader, DamagedPictureDataRaisesAndLeavesNoBuffer) {
    WriteJpeg(Folder.File("whole.jpg"), 64, 64, RedOverBlue(64, 64), 80);
    const Bytes whole = ReadBytes(Folder.File("whole.jpg"));
    // Cut inside the entropy-coded data: the header reads, the picture does not.
    std::size_t scan = 0;
    for (std::size_t i = 2; i + 1 < whole.size() && scan == 0; ++i) {
        if (whole[i] == 0xFF && whole[i + 1] == 0xDA) {
            scan = i;
        }
    }
    ASSERT_GT(scan, 0u);
    ASSERT_GT(whole.size(), scan + 40);
    WriteBytes(Folder.File("cut.jpg"), Bytes(whole.begin(), whole.begin() + long(scan + 30)));
    EXPECT_THROW(Image.LoadImageFile(Folder.File("cut.jpg")), EJPEG);
    EXPECT_EQ(Image.Pixels, nullptr);
    // A frame header that claims an unsupported sampling is a decoding error, too.
    Bytes broken = whole;
    for (std::size_t i = 2; i + 12 < broken.size(); ++i) {
        if (broken[i] == 0xFF && broken[i + 1] == 0xC0) {
            broken[i + 11] = 0x00; // first component: sampling factors 0
            break;
        }
    }
    WriteBytes(Folder.File("broken.jpg"), broken);
    bool loaded = true;
    try {
        loaded = Image.LoadImageFile(Folder.File("broken.jpg"));
    } catch (const EJPEG&) {
        loaded = false;
    }
    EXPECT_FALSE(loaded);
    EXPECT_EQ(Image.Pixels, nullptr);
}

// Sides beyond 8192 are refused from the header alone, before any buffer is made or a
// row decoded: a small file may declare a picture of gigabytes.
TEST_F(JpegReader, OversizedPictureIsRefused) {
    WriteJpeg(Folder.File("p.jpg"), 16, 16, RedOverBlue(16, 16));
    const Bytes small = ReadBytes(Folder.File("p.jpg"));
    for (const auto& [width, height] : {std::pair{0xFF10, 0xFF10}, std::pair{16384, 16384}}) {
        Bytes file = small;
        for (std::size_t i = 2; i + 8 < file.size(); ++i) {
            if (file[i] == 0xFF && file[i + 1] == 0xC0) {
                PutLe16(file, i + 5, std::uint32_t(height << 8 | height >> 8));
                PutLe16(file, i + 7, std::uint32_t(width << 8 | width >> 8));
                break;
            }
        }
        WriteBytes(Folder.File("huge.jpg"), file);
        bool loaded = true;
        EXPECT_NO_THROW(loaded = Image.LoadImageFile(Folder.File("huge.jpg"))) << width;
        EXPECT_FALSE(loaded) << width;
        EXPECT_EQ(Image.Pixels, nullptr) << width;
    }
    // The largest side a texture takes loads; one more is refused.
    WriteJpeg(Folder.File("edge.jpg"), 8192, 8, RedOverBlue(8192, 8), 50);
    EXPECT_TRUE(Image.LoadImageFile(Folder.File("edge.jpg")));
    WriteJpeg(Folder.File("wide.jpg"), 8193, 8, RedOverBlue(8193, 8), 50);
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("wide.jpg")));
    WriteJpeg(Folder.File("tall.jpg"), 8, 8193, RedOverBlue(8, 8193), 50);
    EXPECT_FALSE(Image.LoadImageFile(Folder.File("tall.jpg")));
    EXPECT_EQ(Image.Pixels, nullptr);
}
