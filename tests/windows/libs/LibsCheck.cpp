// Exercises the four libraries the show links and prints what they produce, one fact a
// line. The same source is built for Linux against the system's libraries and for
// Windows against the cross-built prefix; the two outputs must be identical.
//
// Usage: LibsCheck SONG.xm PICTURE.jpg PICTURE.png
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <libopenmpt/libopenmpt.hpp>
#include <png.h>
#include <zlib.h>

namespace {

std::vector<unsigned char> ReadWholeFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(std::string("cannot open ") + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// FNV-1a: enough to tell two byte streams apart, and the same on every platform.
std::uint64_t Fnv1a(const void* data, std::size_t size,
                    std::uint64_t hash = 14695981039346656037u) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211u;
    }
    return hash;
}

void CheckSong(const char* path) {
    const std::vector<unsigned char> file = ReadWholeFile(path);
    openmpt::module song(file);
    std::printf("song type %s\n", song.get_metadata("type").c_str());
    std::printf("song duration %.3f s\n", song.get_duration_seconds());
    std::printf("song channels %d patterns %d orders %d instruments %d samples %d\n",
                song.get_num_channels(), song.get_num_patterns(), song.get_num_orders(),
                song.get_num_instruments(), song.get_num_samples());

    // The mixer's output, not just the parse: a wrong resampler or effect shows here.
    // Floating-point output, because the 16-bit output is dithered with random noise.
    constexpr std::int32_t rate = 48000;
    std::vector<float> block(2 * 1024);
    std::uint64_t hash = Fnv1a(nullptr, 0);
    std::size_t frames = 0;
    while (frames < static_cast<std::size_t>(rate) * 10) {
        const std::size_t got = song.read_interleaved_stereo(rate, 1024, block.data());
        if (got == 0)
            break;
        hash = Fnv1a(block.data(), got * 2 * sizeof(float), hash);
        frames += got;
    }
    std::printf("song render %zu frames hash %016llx\n", frames,
                static_cast<unsigned long long>(hash));
}

struct JpegFailure {
    jpeg_error_mgr manager;
    static void Exit(j_common_ptr info) {
        char text[JMSG_LENGTH_MAX];
        (*info->err->format_message)(info, text);
        throw std::runtime_error(std::string("jpeg: ") + text);
    }
};

struct Picture {
    unsigned width = 0, height = 0, channels = 0;
    std::vector<unsigned char> pixels;
};

Picture DecodeJpeg(const char* path) {
    std::vector<unsigned char> file = ReadWholeFile(path);
    jpeg_decompress_struct info{};
    JpegFailure failure;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = JpegFailure::Exit;
    jpeg_create_decompress(&info);
    Picture picture;
    try {
        jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        picture.width = info.output_width;
        picture.height = info.output_height;
        picture.channels = static_cast<unsigned>(info.output_components);
        const std::size_t stride = std::size_t{picture.width} * picture.channels;
        picture.pixels.resize(stride * picture.height);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = picture.pixels.data() + stride * info.output_scanline;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    } catch (...) {
        jpeg_destroy_decompress(&info);
        throw;
    }
    jpeg_destroy_decompress(&info);
    return picture;
}

Picture DecodePng(const std::vector<unsigned char>& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        throw std::runtime_error(std::string("png: ") + image.message);
    image.format = PNG_FORMAT_RGBA;
    Picture picture;
    picture.width = image.width;
    picture.height = image.height;
    picture.channels = 4;
    picture.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr))
        throw std::runtime_error(std::string("png: ") + image.message);
    return picture;
}

void PrintPicture(const char* what, const Picture& picture) {
    std::printf(
        "%s %ux%u channels %u hash %016llx\n", what, picture.width, picture.height,
        picture.channels,
        static_cast<unsigned long long>(Fnv1a(picture.pixels.data(), picture.pixels.size())));
}

// Encodes through libpng and zlib's deflate; equal bytes on both sides mean the two
// compressors agree, and reading it back checks the round trip.
void CheckPngEncode(const Picture& source) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = source.width;
    image.height = source.height;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, source.pixels.data(), 0, nullptr))
        throw std::runtime_error(std::string("png write: ") + image.message);
    std::vector<unsigned char> encoded(size);
    if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, source.pixels.data(), 0,
                                   nullptr))
        throw std::runtime_error(std::string("png write: ") + image.message);
    encoded.resize(size);
    std::printf("png encode %zu bytes hash %016llx\n", encoded.size(),
                static_cast<unsigned long long>(Fnv1a(encoded.data(), encoded.size())));

    const Picture back = DecodePng(encoded);
    bool same = back.width == source.width && back.height == source.height;
    for (std::size_t i = 0; same && i < std::size_t{source.width} * source.height; ++i)
        same = std::memcmp(&back.pixels[i * 4], &source.pixels[i * 3], 3) == 0 &&
               back.pixels[i * 4 + 3] == 255;
    std::printf("png round trip %s\n", same ? "same" : "DIFFERENT");
}

void CheckZlib(const Picture& source) {
    uLongf packedSize = compressBound(static_cast<uLong>(source.pixels.size()));
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, source.pixels.data(),
                  static_cast<uLong>(source.pixels.size()), 9) != Z_OK)
        throw std::runtime_error("zlib: compress2 failed");
    std::printf("zlib deflate %lu bytes, their adler32 %08lx, crc32 of the input %08lx\n",
                static_cast<unsigned long>(packedSize),
                adler32(1, packed.data(), static_cast<uInt>(packedSize)),
                crc32(0, source.pixels.data(), static_cast<uInt>(source.pixels.size())));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SONG.xm PICTURE.jpg PICTURE.png\n", argv[0]);
        return 2;
    }
    try {
        std::printf("versions zlib %s libpng %s libjpeg %d libopenmpt %s\n", zlibVersion(),
                    png_get_libpng_ver(nullptr), JPEG_LIB_VERSION,
                    openmpt::string::get("library_version").c_str());
        CheckSong(argv[1]);
        const Picture jpeg = DecodeJpeg(argv[2]);
        PrintPicture("jpeg decode", jpeg);
        PrintPicture("png decode", DecodePng(ReadWholeFile(argv[3])));
        CheckPngEncode(jpeg);
        CheckZlib(jpeg);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "LibsCheck: %s\n", failure.what());
        return 1;
    }
    std::printf("done\n");
    return 0;
}
