// The default pictures: all eleven decode at 512 × 512, the generator is deterministic
// and fails loudly, the tiles repeat without seams, and the pictures have what the show
// needs from them (colour, detail at the zoom's centre, light where glyphs take their
// tint, lettering inside the part of the title card that reaches the screen).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "app/Scene.h"

#include <jpeglib.h>

namespace fs = std::filesystem;

namespace {

// The pictures the show reads, without their folder and .jpg: the generator must make
// exactly these.
const std::vector<std::string> Names = [] {
    std::vector<std::string> names;
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        const std::string file = ShowDataFiles[slot];
        names.push_back(file.substr(file.find('/') + 1, file.size() - file.find('/') - 5));
    }
    return names;
}();
constexpr int Size = 512;

struct Picture {
    int Width = 0, Height = 0, Components = 0;
    std::vector<unsigned char> Rgb; // row 0 is the top row
    float Channel(int x, int y, int c) const {
        return Rgb[(static_cast<size_t>(y) * Width + x) * 3 + c] / 255.0f;
    }
    float Lum(int x, int y) const {
        return 0.299f * Channel(x, y, 0) + 0.587f * Channel(x, y, 1) + 0.114f * Channel(x, y, 2);
    }
};

struct ErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};

// Decodes a JPEG file with libjpeg; false for anything that is not a clean RGB picture.
bool Decode(const fs::path& path, Picture& out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        return false;
    }
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.Base);
    errors.Base.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<ErrorManager*>(common->err)->Jump, 1);
    };
    if (setjmp(errors.Jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out.Width = static_cast<int>(info.output_width);
    out.Height = static_cast<int>(info.output_height);
    out.Components = info.output_components;
    out.Rgb.assign(static_cast<size_t>(out.Width) * out.Height * 3, 0);
    while (info.output_scanline < info.output_height && out.Components == 3) {
        JSAMPROW row = out.Rgb.data() + static_cast<size_t>(info.output_scanline) * out.Width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    const bool warned = errors.Base.num_warnings > 0;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return out.Components == 3 && !warned;
}

fs::path DataDir() {
    const char* build = std::getenv("LARKSPUR_BUILD_DIR");
    return fs::path(build ? build : ".") / "data";
}

Picture Load(const std::string& name) {
    Picture p;
    EXPECT_TRUE(Decode(DataDir() / (name + ".jpg"), p)) << name;
    return p;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int RunGenerator(const std::string& args) {
    const std::string command = std::string(MAKE_PICTURES_PATH) + " " + args + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct TempDir {
    fs::path Path;
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "larkspur-pictures-XXXXXX").string();
        if (mkdtemp(pattern.data())) {
            Path = pattern;
        }
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
};

// Mean absolute difference between two columns (or rows when `rows` is set).
float LineDifference(const Picture& p, int a, int b, bool rows) {
    float sum = 0;
    for (int i = 0; i < Size; ++i) {
        for (int c = 0; c < 3; ++c) {
            sum += rows ? std::abs(p.Channel(i, a, c) - p.Channel(i, b, c))
                        : std::abs(p.Channel(a, i, c) - p.Channel(b, i, c));
        }
    }
    return sum / (3 * Size);
}

// How much the wrap-around seam stands out against ordinary neighbouring lines.
float SeamRatio(const Picture& p, bool rows) {
    float interior = 0;
    for (int i = 0; i + 1 < Size; ++i) {
        interior += LineDifference(p, i, i + 1, rows);
    }
    interior /= Size - 1;
    return LineDifference(p, Size - 1, 0, rows) / std::max(interior, 1e-4f);
}

float MeanSaturation(const Picture& p) {
    double sum = 0;
    for (int y = 0; y < p.Height; ++y) {
        for (int x = 0; x < p.Width; ++x) {
            const float r = p.Channel(x, y, 0), g = p.Channel(x, y, 1), b = p.Channel(x, y, 2);
            const float hi = std::max({r, g, b}), lo = std::min({r, g, b});
            sum += hi > 0 ? (hi - lo) / hi : 0;
        }
    }
    return static_cast<float>(sum / (p.Width * p.Height));
}

// Mean over the three channels of each channel's standard deviation in a window.
float ColourSpread(const Picture& p, int x0, int y0, int w, int h) {
    double spread = 0;
    for (int c = 0; c < 3; ++c) {
        double sum = 0, squares = 0;
        for (int y = y0; y < y0 + h; ++y) {
            for (int x = x0; x < x0 + w; ++x) {
                sum += p.Channel(x, y, c);
                squares += p.Channel(x, y, c) * p.Channel(x, y, c);
            }
        }
        const double n = static_cast<double>(w) * h, mean = sum / n;
        spread += std::sqrt(std::max(0.0, squares / n - mean * mean));
    }
    return static_cast<float>(spread / 3);
}

float LumStdDev(const Picture& p, int x0, int y0, int w, int h) {
    double sum = 0, squares = 0;
    for (int y = y0; y < y0 + h; ++y) {
        for (int x = x0; x < x0 + w; ++x) {
            sum += p.Lum(x, y);
            squares += p.Lum(x, y) * p.Lum(x, y);
        }
    }
    const double n = static_cast<double>(w) * h, mean = sum / n;
    return static_cast<float>(std::sqrt(std::max(0.0, squares / n - mean * mean)));
}

// The texel a glyph takes its tint from when the texture coordinate is (s, t): the
// bilinear sample with repeat wrapping (t runs bottom up, picture rows top down).
float TintAt(const Picture& p, double s, double t) {
    const double fx = s * p.Width - 0.5, fy = (1 - t) * p.Height - 0.5;
    const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
    const double ax = fx - x0, ay = fy - y0;
    auto at = [&](int x, int y) {
        return p.Lum(((x % p.Width) + p.Width) % p.Width, ((y % p.Height) + p.Height) % p.Height);
    };
    return static_cast<float>((1 - ay) * ((1 - ax) * at(x0, y0) + ax * at(x0 + 1, y0)) +
                              ay * ((1 - ax) * at(x0, y0 + 1) + ax * at(x0 + 1, y0 + 1)));
}

} // namespace

TEST(Pictures, AllElevenDecodeAtTheirPlannedSize) {
    for (const std::string& name : Names) {
        Picture p;
        ASSERT_TRUE(Decode(DataDir() / (name + ".jpg"), p)) << name;
        EXPECT_EQ(p.Width, Size) << name;
        EXPECT_EQ(p.Height, Size) << name;
        EXPECT_FALSE(fs::exists(DataDir() / (name + ".jpg.part"))) << name;
    }
}

TEST(Pictures, GeneratorGivesTheSameBytesEveryRun) {
    TempDir first, second;
    ASSERT_FALSE(first.Path.empty());
    ASSERT_FALSE(second.Path.empty());
    ASSERT_EQ(RunGenerator(first.Path.string()), 0);
    ASSERT_EQ(RunGenerator(second.Path.string()), 0);
    for (const std::string& name : Names) {
        const std::string file = name + ".jpg";
        const std::string a = ReadBytes(first.Path / file);
        ASSERT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, ReadBytes(second.Path / file)) << name;
        // The build's own copy is the same picture too.
        EXPECT_EQ(a, ReadBytes(DataDir() / file)) << name;
    }
    // Nothing but the eleven pictures is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(first.Path), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(Names.size()));
}

TEST(Pictures, GeneratorReportsFailure) {
    EXPECT_EQ(RunGenerator(""), 2);
    EXPECT_EQ(RunGenerator("a b"), 2);
    TempDir dir;
    ASSERT_FALSE(dir.Path.empty());
    EXPECT_NE(RunGenerator((dir.Path / "missing" / "folder").string()), 0);
    // An output folder that is a file cannot be written either.
    const fs::path file = dir.Path / "plain";
    std::ofstream(file) << "x";
    EXPECT_NE(RunGenerator(file.string()), 0);
}

TEST(Pictures, TilesRepeatWithoutSeams) {
    // r is repeated 4 × 4 across the screen; d0 is wrapped across the spinning glyph.
    for (const char* name : {"r", "d0"}) {
        const Picture p = Load(name);
        ASSERT_EQ(p.Width, Size);
        EXPECT_LT(SeamRatio(p, false), 2.0f) << name << " left/right";
        EXPECT_LT(SeamRatio(p, true), 2.0f) << name << " top/bottom";
    }
    // The measure does tell a seam: a picture that is not a tile shows one.
    const Picture fractal = Load("d1");
    EXPECT_GT(std::max(SeamRatio(fractal, false), SeamRatio(fractal, true)), 2.0f);
}

// "d" + std::to_string(i) trips GCC 12's -Wrestrict false alarm in optimised builds.
static std::string ShowPictureName(int i) {
    std::string name = std::to_string(i);
    name.insert(0, 1, 'd');
    return name;
}

TEST(Pictures, ShowPicturesAreColourfulDistinctAndDetailedAtTheCentre) {
    std::vector<Picture> shows;
    for (int i = 0; i < 8; ++i) {
        shows.push_back(Load(ShowPictureName(i)));
        const Picture& p = shows.back();
        ASSERT_EQ(p.Width, Size);
        EXPECT_GT(MeanSaturation(p), 0.3f) << "d" << i;
        EXPECT_GT(LumStdDev(p, 0, 0, Size, Size), 0.08f) << "d" << i;
        // The zoom ends in the centre point: the middle 32 × 32 is not a flat patch.
        EXPECT_GT(ColourSpread(p, Size / 2 - 16, Size / 2 - 16, 32, 32), 0.05f) << "d" << i;
    }
    for (int i = 0; i < 8; ++i) {
        for (int j = i + 1; j < 8; ++j) {
            double diff = 0;
            for (size_t k = 0; k < shows[i].Rgb.size(); ++k) {
                diff += std::abs(shows[i].Rgb[k] - shows[j].Rgb[k]);
            }
            EXPECT_GT(diff / shows[i].Rgb.size(), 30.0) << "d" << i << " and d" << j;
        }
    }
}

TEST(Pictures, GlyphsFindLightWhereTheyTakeTheirTint) {
    // The glyphs drawn after the picture show keep its last texture coordinate: (0, 1)
    // after a title, fade-in or spin, and (b, 1 − b) with b from 0 to ½ during a zoom.
    // The show draws pictures 0 to 6.
    for (int i = 0; i < 7; ++i) {
        const Picture p = Load(ShowPictureName(i));
        ASSERT_EQ(p.Width, Size);
        EXPECT_GT(TintAt(p, 0, 1), 0.3f) << "d" << i << " corner";
        double sum = 0;
        for (int k = 0; k <= 50; ++k) {
            const double b = k / 100.0;
            sum += TintAt(p, b, 1 - b);
        }
        EXPECT_GT(sum / 51, 0.3) << "d" << i << " diagonal";
    }
    // The credits follow the shimmer, whose last coordinate is (u, u + 4), u = k / 128.
    const Picture shimmer = Load("r");
    ASSERT_EQ(shimmer.Width, Size);
    float darkest = 1;
    for (int k = 0; k < 128; ++k) {
        darkest = std::min(darkest, TintAt(shimmer, k / 128.0, k / 128.0 + 4));
    }
    EXPECT_GT(darkest, 0.6f);
    // d0 tints the spinning glyph through its green: there must be green to show.
    const Picture d0 = Load("d0");
    double green = 0;
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            green += d0.Channel(x, y, 1);
        }
    }
    EXPECT_GT(green / (Size * Size), 0.5);
}

TEST(Pictures, TitleLetteringStandsOutInsideTheVisibleRows) {
    // The card is drawn square and taller than the view: only about rows 55 to 457
    // reach the screen. The brightest pixels are the lettering, and they lie well inside.
    for (const char* name : {"l1", "l2"}) {
        const Picture p = Load(name);
        ASSERT_EQ(p.Width, Size);
        int bright = 0, outside = 0;
        double total = 0;
        for (int y = 0; y < Size; ++y) {
            for (int x = 0; x < Size; ++x) {
                const float l = p.Lum(x, y);
                total += l;
                if (l > 0.85f) {
                    ++bright;
                    outside += (y < 70 || y > 440) ? 1 : 0;
                }
            }
        }
        EXPECT_GT(bright, 2000) << name;
        EXPECT_LT(outside, bright / 50) << name;
        EXPECT_LT(total / (Size * Size), 0.45) << name << ": letters must outshine the card";
    }
    const Picture l1 = Load("l1"), l2 = Load("l2");
    double diff = 0;
    for (size_t k = 0; k < l1.Rgb.size(); ++k) {
        diff += std::abs(l1.Rgb[k] - l2.Rgb[k]);
    }
    EXPECT_GT(diff / l1.Rgb.size(), 20.0);
}
