// Shared by the PNG tests: pictures written by libpng itself, from rows packed as the
// file stores them.
#pragma once

#include <png.h>

#include "tests/test_texture_files.h"

struct PngPicture {
    int Width = 2;
    int Height = 2;
    int Depth = 8;
    int ColourType = PNG_COLOR_TYPE_RGB;
    std::vector<Bytes> Rows; // top row first, packed as the file stores them
    std::vector<png_color> Palette;
    Bytes PaletteAlpha;       // tRNS for palette files
    int TransparentGrey = -1; // tRNS for grey files
    double Gamma = 0.0;       // gAMA when not 0
    bool Interlaced = false;
};

inline void WritePng(const std::string& path, const PngPicture& p) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(writer);
    png_init_io(writer, file);
    png_set_IHDR(writer, info, png_uint_32(p.Width), png_uint_32(p.Height), p.Depth, p.ColourType,
                 p.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!p.Palette.empty()) {
        png_set_PLTE(writer, info, p.Palette.data(), int(p.Palette.size()));
    }
    if (!p.PaletteAlpha.empty()) {
        png_set_tRNS(writer, info, p.PaletteAlpha.data(), int(p.PaletteAlpha.size()), nullptr);
    }
    if (p.TransparentGrey >= 0) {
        png_color_16 grey{};
        grey.gray = png_uint_16(p.TransparentGrey);
        png_set_tRNS(writer, info, nullptr, 0, &grey);
    }
    if (p.Gamma != 0.0) {
        png_set_gAMA(writer, info, p.Gamma);
    }
    png_write_info(writer, info);
    std::vector<png_bytep> rows;
    for (const Bytes& row : p.Rows) {
        rows.push_back(const_cast<png_bytep>(row.data()));
    }
    png_write_image(writer, rows.data());
    png_write_end(writer, info);
    png_destroy_write_struct(&writer, &info);
    std::fclose(file);
}
