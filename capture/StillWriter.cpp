// Still pictures of the show as PNG files: opaque 8-bit RGB, strongest compression,
// no time stamp, so the same frame always gives the same file. A still that cannot be
// written whole (a full disk) is not left behind in part.
#include "capture/Capture.h"

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>
#include <unistd.h>

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

namespace {
// Where libpng's output goes: straight to the descriptor, keeping the reason of the
// first failed write for the message.
struct PngSink {
    int Fd = -1;
    int Errno = 0;
    std::string Message;
};
} // namespace

// libpng's own message goes into ours instead of onto standard error.
[[noreturn]] static void StorePngError(png_structp png, png_const_charp message) {
    static_cast<PngSink*>(png_get_error_ptr(png))->Message = message;
    png_longjmp(png, 1);
}

static void WritePngBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    while (size > 0) {
        const ssize_t n = write(sink->Fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            sink->Errno = n < 0 ? errno : EIO;
            png_error(png, "write failed");
        }
        data += n;
        size -= static_cast<png_size_t>(n);
    }
}

static void FlushPngBytes(png_structp) {}

bool WritePngFile(int folder, const std::string& name, const std::string& shown,
                  const std::uint8_t* bgraTopDown, int width, int height, std::string& error) {
    const std::string path = PrintableName(shown);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        error = "bad picture size for " + path;
        return false;
    }
    PartialFile file;
    PngSink sink;
    sink.Fd = file.Create(folder, name, path, error);
    if (sink.Fd < 0) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, StorePngError, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr) {
        png_destroy_write_struct(&png, &info);
        close(sink.Fd);
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
        close(sink.Fd);
        error =
            "cannot write " + path + ": " +
            (sink.Errno != 0 ? std::string(std::strerror(sink.Errno)) : "libpng: " + sink.Message);
        return false; // the partial file goes with `file`
    }
    png_set_write_fn(png, &sink, WritePngBytes, FlushPngBytes);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    // Some file systems report a full disk only when the file is closed.
    if (close(sink.Fd) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return file.Commit(error);
}
