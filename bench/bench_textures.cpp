// Decode time of each picture reader on a 1024 × 768 picture, and the JPEG reader against
// a bare libjpeg decode of the same file in the same run (the ratio is the figure).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#undef TRUE
#undef FALSE

#include "textures/TextureImage.h"

namespace {

constexpr int PictureWidth = 1024;
constexpr int PictureHeight = 768;

std::string Folder;

std::string PathOf(const char* name) {
    return Folder + "/" + name;
}

// A picture with smooth areas, edges and fine detail, top row first, red, green, blue.
std::vector<unsigned char> MakePicture() {
    std::vector<unsigned char> rgb(std::size_t(PictureWidth) * PictureHeight * 3);
    unsigned seed = 12345;
    for (int y = 0; y < PictureHeight; ++y) {
        for (int x = 0; x < PictureWidth; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = int((seed >> 16) & 15);
            unsigned char* p = &rgb[(std::size_t(y) * PictureWidth + x) * 3];
            p[0] = static_cast<unsigned char>(x / 4 + noise);
            p[1] = static_cast<unsigned char>(128 + 100 * std::sin(x * 0.02 + y * 0.03));
            p[2] = static_cast<unsigned char>(((x / 64 + y / 64) % 2) * 160 + noise);
        }
    }
    return rgb;
}

void WriteJpeg(const std::vector<unsigned char>& rgb) {
    std::FILE* file = std::fopen(PathOf("p.jpg").c_str(), "wb");
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = PictureWidth;
    info.image_height = PictureHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, 1);
    jpeg_start_compress(&info, 1);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(&rgb[std::size_t(info.next_scanline) * PictureWidth * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

void WritePng(const std::vector<unsigned char>& rgb) {
    std::FILE* file = std::fopen(PathOf("p.png").c_str(), "wb");
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(writer);
    png_init_io(writer, file);
    png_set_IHDR(writer, info, PictureWidth, PictureHeight, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer, info);
    for (int y = 0; y < PictureHeight; ++y) {
        png_write_row(writer, &rgb[std::size_t(y) * PictureWidth * 3]);
    }
    png_write_end(writer, info);
    png_destroy_write_struct(&writer, &info);
    std::fclose(file);
}

void PutLe(std::vector<unsigned char>& f, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        f[at + std::size_t(i)] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// 24-bit BMP and 32-bit TGA, bottom row first, blue, green, red (, alpha).
void WriteBmpAndTga(const std::vector<unsigned char>& rgb) {
    std::vector<unsigned char> bmp(54, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe(bmp, 10, 54, 4);
    PutLe(bmp, 14, 40, 4);
    PutLe(bmp, 18, PictureWidth, 4);
    PutLe(bmp, 22, PictureHeight, 4);
    PutLe(bmp, 26, 1, 2);
    PutLe(bmp, 28, 24, 2);
    std::vector<unsigned char> tga(18, 0);
    tga[2] = 2;
    PutLe(tga, 12, PictureWidth, 2);
    PutLe(tga, 14, PictureHeight, 2);
    tga[16] = 32;
    for (int y = PictureHeight - 1; y >= 0; --y) {
        for (int x = 0; x < PictureWidth; ++x) {
            const unsigned char* p = &rgb[(std::size_t(y) * PictureWidth + x) * 3];
            bmp.insert(bmp.end(), {p[2], p[1], p[0]});
            tga.insert(tga.end(), {p[2], p[1], p[0], static_cast<unsigned char>(x)});
        }
    }
    std::ofstream(PathOf("p.bmp"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
    std::ofstream(PathOf("p.tga"), std::ios::binary)
        .write(reinterpret_cast<const char*>(tga.data()), std::streamsize(tga.size()));
}

// The reference: libjpeg decoding the same file to red, green, blue rows, nothing else.
void BareLibjpegDecode(std::vector<unsigned char>& out) {
    std::FILE* file = std::fopen(PathOf("p.jpg").c_str(), "rb");
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, 1);
    jpeg_start_decompress(&info);
    out.resize(std::size_t(info.output_width) * info.output_height * info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            &out[std::size_t(info.output_scanline) * info.output_width * info.output_components];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
}

void ReadWithOurReader(TTextureImage& image, const char* name) {
    if (!image.LoadImageFile(PathOf(name))) {
        std::fprintf(stderr, "%s did not load\n", name);
        std::exit(1);
    }
}

void Reader(benchmark::State& state, const char* name) {
    TTextureImage image("");
    for (auto _ : state) {
        ReadWithOurReader(image, name);
        benchmark::DoNotOptimize(image.Pixels);
    }
}

void BareLibjpeg(benchmark::State& state) {
    std::vector<unsigned char> out;
    for (auto _ : state) {
        BareLibjpegDecode(out);
        benchmark::DoNotOptimize(out.data());
    }
}

BENCHMARK_CAPTURE(Reader, Jpeg, "p.jpg")->Unit(benchmark::kMillisecond);
BENCHMARK(BareLibjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reader, Bmp24, "p.bmp")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reader, Tga32, "p.tga")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reader, PngRgb, "p.png")->Unit(benchmark::kMillisecond);

// Alternating rounds of both decodes, the fastest of each: robust on a shared machine.
double JpegRatio() {
    TTextureImage image("");
    std::vector<unsigned char> out;
    using Clock = std::chrono::steady_clock;
    double ours = 1e9;
    double bare = 1e9;
    for (int round = 0; round < 30; ++round) {
        auto start = Clock::now();
        ReadWithOurReader(image, "p.jpg");
        ours = std::min(ours, std::chrono::duration<double>(Clock::now() - start).count());
        start = Clock::now();
        BareLibjpegDecode(out);
        bare = std::min(bare, std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::printf("JPEG reader %.2f ms, bare libjpeg %.2f ms (fastest of 30 alternating rounds)\n",
                ours * 1e3, bare * 1e3);
    return ours / bare;
}

} // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/larkspur-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        return 1;
    }
    Folder = pattern;
    const std::vector<unsigned char> rgb = MakePicture();
    WriteJpeg(rgb);
    WritePng(rgb);
    WriteBmpAndTga(rgb);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double ratio = JpegRatio();
    std::printf("JPEG reader / bare libjpeg decode: %.3f (aim: 1.1 or less)\n", ratio);
    std::filesystem::remove_all(Folder);
    return 0;
}
