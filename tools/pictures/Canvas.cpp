// Colour helpers, blurring and the JPEG writer of the picture generator.
#include "Canvas.h"

#include <cstdio>
#include <cstdint>

#include <jpeglib.h>

Rgb CosinePalette(float t, Rgb a, Rgb b, Rgb c, Rgb d) {
    const float tau = 6.28318530718f;
    return {a.R + b.R * std::cos(tau * (c.R * t + d.R)),
            a.G + b.G * std::cos(tau * (c.G * t + d.G)),
            a.B + b.B * std::cos(tau * (c.B * t + d.B))};
}

Rgb Hsv(float h, float s, float v) {
    h = Fract(h) * 6.0f;
    auto channel = [&](float offset) {
        float k = std::fmod(offset + h, 6.0f);
        return v - v * s * std::max(0.0f, std::min({k, 4.0f - k, 1.0f}));
    };
    return {channel(5.0f), channel(3.0f), channel(1.0f)};
}

Rgb LiftShadows(Rgb c, float floor) {
    return {floor + (1 - floor) * Clamp01(c.R), floor + (1 - floor) * Clamp01(c.G),
            floor + (1 - floor) * Clamp01(c.B)};
}

static void BoxPass(const std::vector<float>& in, std::vector<float>& out, int width, int height,
                    int radius, bool wrap, bool horizontal) {
    const int n = horizontal ? width : height;
    const int lines = horizontal ? height : width;
    const float norm = 1.0f / static_cast<float>(2 * radius + 1);
    auto index = [&](int line, int k) {
        if (wrap) {
            k = ((k % n) + n) % n;
        } else {
            k = std::clamp(k, 0, n - 1);
        }
        return horizontal ? static_cast<size_t>(line) * width + k
                          : static_cast<size_t>(k) * width + line;
    };
    for (int line = 0; line < lines; ++line) {
        float sum = 0;
        for (int k = -radius; k <= radius; ++k) {
            sum += in[index(line, k)];
        }
        for (int k = 0; k < n; ++k) {
            out[index(line, k)] = sum * norm;
            sum += in[index(line, k + radius + 1)] - in[index(line, k - radius)];
        }
    }
}

void BlurPlane(std::vector<float>& plane, int width, int height, int radius, bool wrap) {
    if (radius <= 0 || plane.size() != static_cast<size_t>(width) * height) {
        return;
    }
    std::vector<float> scratch(plane.size());
    for (int pass = 0; pass < 3; ++pass) {
        BoxPass(plane, scratch, width, height, radius, wrap, true);
        BoxPass(scratch, plane, width, height, radius, wrap, false);
    }
}

bool WriteJpeg(const Canvas& canvas, const std::string& path, int quality) {
    if (canvas.Width <= 0 || canvas.Height <= 0 ||
        canvas.Pixels.size() != static_cast<size_t>(canvas.Width) * canvas.Height) {
        return false;
    }
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        return false;
    }
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors); // on a library error this exits the tool
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(canvas.Width);
    info.image_height = static_cast<JDIMENSION>(canvas.Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // Full-resolution colour: the title lettering and thin lines stay crisp.
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    info.optimize_coding = TRUE;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&info, TRUE);

    std::vector<JSAMPLE> row(static_cast<size_t>(canvas.Width) * 3);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < canvas.Width; ++x) {
            const Rgb& c = canvas.At(x, y);
            row[3 * x + 0] = static_cast<JSAMPLE>(std::lround(Clamp01(c.R) * 255.0f));
            row[3 * x + 1] = static_cast<JSAMPLE>(std::lround(Clamp01(c.G) * 255.0f));
            row[3 * x + 2] = static_cast<JSAMPLE>(std::lround(Clamp01(c.B) * 255.0f));
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const bool written = std::fflush(file) == 0 && !std::ferror(file);
    if (std::fclose(file) != 0 || !written) {
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
