// Every supported variant of every format that Debian 12's ImageMagick writes, written by
// it at test time and read by our readers, must give the same red, green, blue, alpha
// bytes as ImageMagick's own decode of the same file; files refused by design must be
// refused without an error. ImageMagick is a test dependency, so a variant it cannot
// write fails here; the variants it cannot make (16-bit and low-depth palette PNG files)
// have stored results in test_texture_golden.
#include "tests/test_texture_files.h"

#include <functional>
#include <memory>

#include "textures/ImageErrors.h"
#include "textures/TextureImage.h"

namespace {

constexpr int PictureWidth = 13; // odd, so that BMP rows carry padding
constexpr int PictureHeight = 7;

enum class Rows { BottomFirst, FileOrderTopFirst };
enum class Alpha { FromFile, Opaque };

// Returns an empty text when the written file is the wanted variant, else what differs.
using Check = std::function<std::string(const Bytes&)>;
using Patch = std::function<void(Bytes&)>;

struct Variant {
    std::string Name;
    std::string Source; // "rgb" or "alpha"
    std::vector<std::string> Arguments;
    std::string File; // output file name, with an optional ImageMagick format prefix
    Check Wanted;
    Patch Change = nullptr;
    Rows Order = Rows::BottomFirst;
    Alpha Transparency = Alpha::FromFile;
    int Tolerance = 0;
    bool ReferenceFromOriginal = false; // ImageMagick decodes the file before Change
};

std::string Expect(bool condition, const std::string& what) {
    return condition ? "" : what;
}

// BMP header fields.
Check Bmp(std::uint32_t headerSize, int bits, std::uint32_t compression,
          std::uint32_t redMask = 0) {
    return [=](const Bytes& f) {
        if (f.size() < 66 || f[0] != 'B' || f[1] != 'M') {
            return std::string("not a BMP");
        }
        return Expect(
            GetLe32(f, 14) == headerSize && (f[28] | f[29] << 8) == bits &&
                GetLe32(f, 30) == compression && (redMask == 0 || GetLe32(f, 54) == redMask),
            "header " + std::to_string(GetLe32(f, 14)) + ", " + std::to_string(f[28] | f[29] << 8) +
                " bits, compression " + std::to_string(GetLe32(f, 30)));
    };
}

Check Tga(int depth, bool topLeft) {
    return [=](const Bytes& f) {
        return Expect(f.size() > 18 && f[2] == 2 && f[16] == depth &&
                          ((f[17] & 0x20) != 0) == topLeft,
                      "TGA type/depth/origin differ");
    };
}

bool HasChunk(const Bytes& f, const char* type) {
    return std::search(f.begin(), f.end(), type, type + 4) != f.end();
}

Check Png(int depth, int colourType, bool interlaced = false, bool trns = false) {
    return [=](const Bytes& f) {
        if (f.size() < 33) {
            return std::string("not a PNG");
        }
        return Expect(f[24] == depth && f[25] == colourType && (f[28] == 1) == interlaced &&
                          HasChunk(f, "tRNS") == trns,
                      "written as depth " + std::to_string(f[24]) + ", colour type " +
                          std::to_string(f[25]) + ", interlace " + std::to_string(f[28]) +
                          (HasChunk(f, "tRNS") ? ", tRNS" : ""));
    };
}

// JPEG with the given number of colour components in its frame header.
Check Jpeg(int components, bool progressive = false) {
    return [=](const Bytes& f) {
        for (std::size_t i = 2; i + 9 < f.size(); ++i) {
            if (f[i] == 0xFF && (f[i + 1] == 0xC0 || f[i + 1] == 0xC1 || f[i + 1] == 0xC2)) {
                return Expect(f[i + 9] == components && (f[i + 1] == 0xC2) == progressive,
                              "JPEG components or coding differ");
            }
        }
        return std::string("no JPEG frame header");
    };
}

// A bottom-up 24-bit BMP made top-down: rows reversed, height negative.
void MakeTopDown(Bytes& f) {
    const std::uint32_t offset = GetLe32(f, 10);
    const std::size_t stride = (PictureWidth * 3 + 3) & ~3;
    Bytes rows(f.begin() + offset, f.begin() + offset + std::ptrdiff_t(stride * PictureHeight));
    for (int y = 0; y < PictureHeight; ++y) {
        std::copy_n(rows.begin() + std::ptrdiff_t(stride * std::size_t(y)), stride,
                    f.begin() + offset +
                        std::ptrdiff_t(stride * std::size_t(PictureHeight - 1 - y)));
    }
    PutLe32(f, 22, std::uint32_t(-PictureHeight));
}

// A V5 bit-field file rewritten with the 40-byte info header followed by its three masks
// (ImageMagick's own 40-byte bit-field files lack the masks).
void ToInfo40WithMasks(Bytes& f) {
    const std::uint32_t offset = GetLe32(f, 10);
    Bytes out(f.begin(), f.begin() + 66);
    out.insert(out.end(), f.begin() + offset, f.end());
    PutLe32(out, 14, 40);
    PutLe32(out, 10, 66);
    PutLe32(out, 2, std::uint32_t(out.size()));
    f = out;
}

// The same without masks and with compression 0, which means 5-5-5.
void ToInfo40NoMasks(Bytes& f) {
    ToInfo40WithMasks(f);
    f.erase(f.begin() + 54, f.begin() + 66);
    PutLe32(f, 2, std::uint32_t(f.size()));
    PutLe32(f, 10, 54);
    PutLe32(f, 30, 0);
}

// ImageMagick 6.9 writes and reads every TGA with its top row first, whatever origin
// it records; bottom-left files are therefore made from top-left ones here.
void ToBottomLeft(Bytes& f) {
    const std::size_t start = 18 + f[0];
    const std::size_t row = std::size_t(PictureWidth) * (f[16] / 8);
    Bytes rows(f.begin() + std::ptrdiff_t(start),
               f.begin() + std::ptrdiff_t(start + row * PictureHeight));
    for (int y = 0; y < PictureHeight; ++y) {
        std::copy_n(rows.begin() + std::ptrdiff_t(row * std::size_t(y)), row,
                    f.begin() + std::ptrdiff_t(start + row * std::size_t(PictureHeight - 1 - y)));
    }
    f[17] = std::uint8_t(f[17] & ~0x20);
}

void ClearColoursUsed(Bytes& f) {
    PutLe32(f, 46, 0);
}

void AddImageId(Bytes& f) {
    const std::string id = "larkspur";
    f[0] = std::uint8_t(id.size());
    f.insert(f.begin() + 18, id.begin(), id.end());
}

const std::vector<std::string> Bmp3 = {"-define", "bmp:format=bmp3"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Variant> Variants() {
    const std::vector<std::string> grey = {"-colorspace", "Gray"};
    const std::vector<std::string> none = {"-compress", "none"};
    std::vector<Variant> v = {
        // BMP
        {"Bmp24", "rgb", Join(Bmp3, {"-type", "TrueColor"}), "p.bmp", Bmp(40, 24, 0)},
        {"Bmp8", "rgb", Join(Bmp3, {"-type", "Palette", "-compress", "none"}), "p.bmp",
         Bmp(40, 8, 0)},
        {"Bmp4", "rgb", Join(Bmp3, {"-colors", "16", "-type", "Palette", "-compress", "none"}),
         "p.bmp", Bmp(40, 4, 0)},
        {"Bmp8ColoursUsedZero", "rgb", Join(Bmp3, {"-type", "Palette", "-compress", "none"}),
         "p.bmp", Bmp(40, 8, 0), ClearColoursUsed},
        {"Bmp4ColoursUsedZero", "rgb",
         Join(Bmp3, {"-colors", "16", "-type", "Palette", "-compress", "none"}), "p.bmp",
         Bmp(40, 4, 0), ClearColoursUsed},
        {"Bmp32", "alpha", Join(Bmp3, {"-define", "bmp3:alpha=true", "-type", "TrueColorAlpha"}),
         "p.bmp", Bmp(40, 32, 0), nullptr, Rows::BottomFirst, Alpha::Opaque},
        {"Bmp24TopDown", "rgb", Join(Bmp3, {"-type", "TrueColor"}), "p.bmp", Bmp(40, 24, 0),
         MakeTopDown, Rows::FileOrderTopFirst},
        {"Bmp16Rgb565",
         "rgb",
         {"-type", "TrueColor", "-define", "bmp:subtype=RGB565"},
         "p.bmp",
         Bmp(124, 16, 3, 0xF800),
         nullptr,
         Rows::BottomFirst,
         Alpha::FromFile,
         1},
        {"Bmp16Rgb555",
         "rgb",
         {"-type", "TrueColor", "-define", "bmp:subtype=RGB555"},
         "p.bmp",
         Bmp(124, 16, 3, 0x7C00),
         nullptr,
         Rows::BottomFirst,
         Alpha::FromFile,
         1},
        {"Bmp16Rgb555Info40",
         "rgb",
         {"-type", "TrueColor", "-define", "bmp:subtype=RGB555"},
         "p.bmp",
         Bmp(124, 16, 3, 0x7C00),
         ToInfo40WithMasks,
         Rows::BottomFirst,
         Alpha::FromFile,
         1},
        {"Bmp16NoMasks",
         "rgb",
         {"-type", "TrueColor", "-define", "bmp:subtype=RGB555"},
         "p.bmp",
         Bmp(124, 16, 3, 0x7C00),
         ToInfo40NoMasks,
         Rows::BottomFirst,
         Alpha::FromFile,
         1},
        {"BmpV5Rgb24", "rgb", {"-type", "TrueColor"}, "p.bmp", Bmp(124, 24, 0)},
        {"BmpV5Palette8",
         "rgb",
         {"-type", "Palette", "-compress", "none"},
         "p.bmp",
         Bmp(124, 8, 0)},
        {"BmpV5Palette4",
         "rgb",
         {"-colors", "16", "-type", "Palette", "-compress", "none"},
         "p.bmp",
         Bmp(124, 4, 0)},
        {"BmpV5BitFields32",
         "alpha",
         {"-type", "TrueColorAlpha"},
         "p.bmp",
         Bmp(124, 32, 3),
         nullptr,
         Rows::BottomFirst,
         Alpha::Opaque},
        // TGA
        {"Tga24", "rgb", Join(none, {"-type", "TrueColor", "-orient", "TopLeft"}), "p.tga",
         Tga(24, true), ToBottomLeft, Rows::BottomFirst, Alpha::FromFile, 0, true},
        {"Tga24TopLeft", "rgb", Join(none, {"-type", "TrueColor", "-orient", "TopLeft"}), "p.tga",
         Tga(24, true), nullptr, Rows::FileOrderTopFirst},
        {"Tga32", "alpha", Join(none, {"-type", "TrueColorAlpha", "-orient", "TopLeft"}), "p.tga",
         Tga(32, true), ToBottomLeft, Rows::BottomFirst, Alpha::FromFile, 0, true},
        {"Tga32TopLeft", "alpha", Join(none, {"-type", "TrueColorAlpha", "-orient", "TopLeft"}),
         "p.tga", Tga(32, true), nullptr, Rows::FileOrderTopFirst},
        {"Tga24ImageId", "rgb", Join(none, {"-type", "TrueColor", "-orient", "TopLeft"}), "p.tga",
         Tga(24, true), AddImageId, Rows::FileOrderTopFirst, Alpha::FromFile, 0, true},
        // PNG
        {"PngRgb8", "rgb", {"-define", "png:color-type=2"}, "p.png", Png(8, 2)},
        {"PngRgba8", "alpha", {"-define", "png:color-type=6"}, "p.png", Png(8, 6)},
        {"PngGrey8", "rgb", Join(grey, {"-define", "png:color-type=0"}), "p.png", Png(8, 0)},
        {"PngGrey1", "rgb",
         Join(grey,
              {"-posterize", "2", "-define", "png:bit-depth=1", "-define", "png:color-type=0"}),
         "p.png", Png(1, 0)},
        {"PngGrey2", "rgb",
         Join(grey,
              {"-posterize", "4", "-define", "png:bit-depth=2", "-define", "png:color-type=0"}),
         "p.png", Png(2, 0)},
        {"PngGrey4", "rgb",
         Join(grey,
              {"-posterize", "16", "-define", "png:bit-depth=4", "-define", "png:color-type=0"}),
         "p.png", Png(4, 0)},
        {"PngGreyAlpha8", "alpha", Join(grey, {"-define", "png:color-type=4"}), "p.png", Png(8, 4)},
        {"PngPalette8", "rgb", {"-colors", "200"}, "PNG8:p.png", Png(8, 3)},
        {"PngPaletteTrns",
         "alpha",
         {"-channel", "A", "-threshold", "50%", "+channel", "-colors", "40"},
         "PNG8:p.png",
         Png(8, 3, false, true)},
        {"PngGreyTrns", "rgb",
         Join(grey, {"-fill", "none", "-draw", "matte 0,0 point", "-define", "png:color-type=0"}),
         "p.png", Png(8, 0, false, true)},
        {"PngRgbTrns",
         "rgb",
         {"-fill", "none", "-draw", "matte 0,0 point", "-define", "png:color-type=2"},
         "p.png",
         Png(8, 2, false, true)},
        {"PngRgb8Interlaced",
         "rgb",
         {"-interlace", "PNG", "-define", "png:color-type=2"},
         "p.png",
         Png(8, 2, true)},
        // JPEG
        {"JpegColour420",
         "rgb",
         {"-quality", "90", "-sampling-factor", "2x2"},
         "p.jpg",
         Jpeg(3),
         nullptr,
         Rows::BottomFirst,
         Alpha::Opaque,
         2},
        {"JpegColour444",
         "rgb",
         {"-quality", "90", "-sampling-factor", "1x1"},
         "p.jpg",
         Jpeg(3),
         nullptr,
         Rows::BottomFirst,
         Alpha::Opaque,
         2},
        {"JpegGrey", "rgb", Join(grey, {"-quality", "90"}), "p.jpg", Jpeg(1), nullptr,
         Rows::BottomFirst, Alpha::Opaque, 2},
        {"JpegProgressive",
         "rgb",
         {"-quality", "90", "-interlace", "JPEG"},
         "p.jpg",
         Jpeg(3, true),
         nullptr,
         Rows::BottomFirst,
         Alpha::Opaque,
         2},
        {"JpegCmyk",
         "rgb",
         {"-quality", "95", "-colorspace", "CMYK"},
         "p.jpg",
         Jpeg(4),
         nullptr,
         Rows::BottomFirst,
         Alpha::Opaque,
         3},
    };
    return v;
}

class Pictures : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        Folder = std::make_unique<ScratchFolder>();
        Available =
            ConvertAvailable() &&
            RunCommand({"convert", "-seed", "7", "-size", "13x7", "plasma:fractal", "-depth", "8",
                        Folder->File("rgb.png")}) &&
            RunCommand({"convert", Folder->File("rgb.png"), "-alpha", "set", "-channel", "A", "-fx",
                        "(i+j*13)/90", "+channel", "-depth", "8", Folder->File("alpha.png")});
    }
    static void TearDownTestSuite() { Folder.reset(); }

    static std::unique_ptr<ScratchFolder> Folder;
    static bool Available;
};

std::unique_ptr<ScratchFolder> Pictures::Folder;
bool Pictures::Available = false;

class Conformance : public Pictures, public testing::WithParamInterface<Variant> {};

TEST_P(Conformance, MatchesImageMagick) {
    ASSERT_TRUE(Available) << "ImageMagick's convert is not available";
    const Variant& variant = GetParam();
    const std::string file = variant.File.substr(variant.File.find(':') + 1);
    const std::string path = Folder->File(variant.Name + "-" + file);
    const std::string prefix = variant.File.substr(0, variant.File.find(':') + 1);
    std::vector<std::string> command = {"convert", Folder->File(variant.Source + ".png")};
    command.insert(command.end(), variant.Arguments.begin(), variant.Arguments.end());
    command.push_back(prefix + path);
    ASSERT_TRUE(RunCommand(command)) << "ImageMagick cannot write " << variant.Name;
    Bytes bytes = ReadBytes(path);
    const std::string differs = variant.Wanted(bytes);
    ASSERT_TRUE(differs.empty()) << "ImageMagick wrote another variant for " << variant.Name << ": "
                                 << differs;
    Bytes reference;
    if (variant.ReferenceFromOriginal) {
        ASSERT_TRUE(ConvertToRgba(path, &reference));
    }
    if (variant.Change) {
        variant.Change(bytes);
        WriteBytes(path, bytes);
    }
    if (!variant.ReferenceFromOriginal) {
        ASSERT_TRUE(ConvertToRgba(path, &reference));
    }
    ASSERT_EQ(reference.size(), std::size_t(PictureWidth * PictureHeight * 4));
    if (variant.Order == Rows::BottomFirst) {
        reference = FlipRows(reference, PictureWidth, PictureHeight);
    }
    if (variant.Transparency == Alpha::Opaque) {
        for (std::size_t i = 3; i < reference.size(); i += 4) {
            reference[i] = 255;
        }
    }

    TTextureImage image("");
    ASSERT_TRUE(image.LoadImageFile(path));
    ASSERT_EQ(image.Width, PictureWidth);
    ASSERT_EQ(image.Height, PictureHeight);
    ASSERT_NE(image.Pixels, nullptr);
    int worst = 0;
    std::size_t worstAt = 0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const int difference = std::abs(int(image.Pixels[i]) - int(reference[i]));
        if (difference > worst) {
            worst = difference;
            worstAt = i;
        }
    }
    EXPECT_LE(worst, variant.Tolerance)
        << "pixel " << worstAt / 4 << " channel " << worstAt % 4 << ": ours "
        << int(image.Pixels[worstAt]) << ", ImageMagick " << int(reference[worstAt]);
}

INSTANTIATE_TEST_SUITE_P(Variants, Conformance, testing::ValuesIn(Variants()),
                         [](const testing::TestParamInfo<Variant>& info) {
                             return info.param.Name;
                         });

struct Refused {
    std::string Name;
    std::vector<std::string> Arguments;
    std::string File;
};

class RefusedByDesign : public Pictures, public testing::WithParamInterface<Refused> {};

TEST_P(RefusedByDesign, LoadsNothingAndRaisesNothing) {
    ASSERT_TRUE(Available) << "ImageMagick's convert is not available";
    const Refused& refused = GetParam();
    const std::string file = refused.File.substr(refused.File.find(':') + 1);
    const std::string path = Folder->File(refused.Name + "-" + file);
    std::vector<std::string> command = {"convert", Folder->File("rgb.png")};
    command.insert(command.end(), refused.Arguments.begin(), refused.Arguments.end());
    command.push_back(refused.File.substr(0, refused.File.find(':') + 1) + path);
    ASSERT_TRUE(RunCommand(command)) << "ImageMagick cannot write " << refused.Name;
    TTextureImage image("");
    bool loaded = true;
    EXPECT_NO_THROW(loaded = image.LoadImageFile(path));
    EXPECT_FALSE(loaded);
    EXPECT_EQ(image.Pixels, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedByDesign,
    testing::Values(Refused{"Bmp1Bit", Join(Bmp3, {"-monochrome"}), "p.bmp"},
                    Refused{"BmpRle8", Join(Bmp3, {"-type", "Palette", "-compress", "RLE"}),
                            "p.bmp"},
                    Refused{"BmpOs2CoreHeader", {"-type", "TrueColor"}, "BMP2:p.bmp"},
                    Refused{"TgaRunLength", {"-compress", "RLE"}, "p.tga"},
                    Refused{"TgaColourMapped", {"-type", "Palette", "-compress", "none"}, "p.tga"},
                    Refused{"TgaGrey", {"-type", "Grayscale", "-compress", "none"}, "p.tga"},
                    Refused{"Tga16Bit", {"-depth", "5", "-compress", "none"}, "p.tga"},
                    Refused{"JpegNamedJpeg", {}, "p.jpeg"}, Refused{"Gif", {}, "p.gif"}),
    [](const testing::TestParamInfo<Refused>& info) { return info.param.Name; });

} // namespace
