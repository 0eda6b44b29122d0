// Still pictures of the show as PNG files: opaque 8-bit RGB, strongest compression,
// no time stamp, so the same frame always gives the same file.
#include "capture/Capture.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <png.h>

std::vector<std::uint8_t> ShrinkPicture(const std::uint8_t* bgra, int width, int height,
                                        int factor) {
    if (factor < 1 || width < factor || height < factor) {
        return {};
    }
    const std::size_t w = static_cast<std::size_t>(width / factor);
    const std::size_t h = static_cast<std::size_t>(height / factor);
    const std::size_t f = static_cast<std::size_t>(factor);
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> out(w * h * 4);
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            for (std::size_t c = 0; c < 4; ++c) {
                std::size_t sum = 0;
                for (std::size_t dy = 0; dy < f; ++dy) {
                    for (std::size_t dx = 0; dx < f; ++dx) {
                        sum += bgra[(y * f + dy) * stride + (x * f + dx) * 4 + c];
                    }
                }
                out[(y * w + x) * 4 + c] = static_cast<std::uint8_t>((sum + f * f / 2) / (f * f));
            }
        }
    }
    return out;
}

bool WritePngFile(const std::string& path, const std::uint8_t* bgraTopDown, int width, int height,
                  std::string& error) {
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        error = "bad picture size for " + path;
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot write " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = "out of memory writing " + path;
        return false;
    }
    // Rows converted before libpng is called, so nothing needs freeing on its error path.
    const std::size_t w = static_cast<std::size_t>(width);
    std::vector<std::uint8_t> rgb(w * static_cast<std::size_t>(height) * 3);
    for (std::size_t i = 0, n = w * static_cast<std::size_t>(height); i < n; ++i) {
        rgb[i * 3 + 0] = bgraTopDown[i * 4 + 2];
        rgb[i * 3 + 1] = bgraTopDown[i * 4 + 1];
        rgb[i * 3 + 2] = bgraTopDown[i * 4 + 0];
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = rgb.data() + y * w * 3;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = "cannot write " + path;
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
