// Shared by the picture reader tests: a scratch folder, byte-level file writers, and a
// runner for ImageMagick's convert, the independent decoder the readers are checked
// against.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "larkspur-pictures-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            Path = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!Path.empty()) {
            std::filesystem::remove_all(Path, ignored);
        }
    }
    std::string File(const std::string& name) const { return (Path / name).string(); }
    std::filesystem::path Path;
};

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void PutLe16(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = std::uint8_t(value);
    bytes[at + 1] = std::uint8_t(value >> 8);
}

inline void PutLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
    }
}

inline std::uint32_t GetLe32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs a command; its standard output is returned in output. True on exit status 0.
inline bool RunCommand(const std::vector<std::string>& arguments, Bytes* output = nullptr) {
    std::string command;
    for (const std::string& argument : arguments) {
        command += Quote(argument) + " ";
    }
    command += "2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        if (output != nullptr) {
            output->insert(output->end(), chunk, chunk + got);
        }
    }
    return ::pclose(pipe) == 0;
}

inline bool ConvertAvailable() {
    return RunCommand({"convert", "-version"});
}

// ImageMagick's decode of a picture file: 8-bit red, green, blue, alpha, top row first.
inline bool ConvertToRgba(const std::string& path, Bytes* rgba) {
    return RunCommand({"convert", path, "-depth", "8", "rgba:-"}, rgba);
}

// Rows of width × 4 bytes in the opposite order.
inline Bytes FlipRows(const Bytes& rgba, int width, int height) {
    const std::size_t row = std::size_t(width) * 4;
    Bytes flipped(rgba.size());
    for (int y = 0; y < height; ++y) {
        std::copy_n(rgba.begin() + std::ptrdiff_t(row * std::size_t(y)), row,
                    flipped.begin() + std::ptrdiff_t(row * std::size_t(height - 1 - y)));
    }
    return flipped;
}

#include <jpeglib.h>
// libjpeg's own TRUE and FALSE would clash with the Win32-shaped constants.
#undef TRUE
#undef FALSE

// A baseline JPEG of the given red, green, blue rows (top row first), by libjpeg.
inline void WriteJpeg(const std::string& path, int width, int height, const Bytes& rgb,
                      int quality = 95) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, 1);
    jpeg_start_compress(&info, 1);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + std::size_t(info.next_scanline) *
                                                             std::size_t(width) * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// A 24- or 32-bit uncompressed TGA of blue, green, red (, alpha) pixels in file order.
inline Bytes MakeTga(int width, int height, int depth, const Bytes& pixels,
                     std::uint8_t descriptor = 0, const std::string& imageId = "") {
    Bytes file(18 + imageId.size() + pixels.size(), 0);
    file[0] = std::uint8_t(imageId.size());
    file[2] = 2;
    PutLe16(file, 12, std::uint32_t(width));
    PutLe16(file, 14, std::uint32_t(height));
    file[16] = std::uint8_t(depth);
    file[17] = descriptor;
    std::copy(imageId.begin(), imageId.end(), file.begin() + 18);
    std::copy(pixels.begin(), pixels.end(), file.begin() + 18 + std::ptrdiff_t(imageId.size()));
    return file;
}
