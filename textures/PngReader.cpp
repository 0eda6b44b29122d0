// PNG reader: drives libpng through the entries of the run-time binding (libPNG/, below
// this folder) and decodes the file into red, green, blue, alpha bytes, bottom row first.
//
// libpng reports errors through an error function that must not return. Ours jumps
// back with longjmp into DecodePng, whose frame holds only plain data; the structures
// are then destroyed there and the load fails.
#include <csetjmp>
#include <memory>
#include <new>

#include <png.h>

#include "libPNG/PngLibrary.h"
#include "textures/CheckedFile.h"
#include "textures/TextureImage.h"

namespace {

constexpr png_uint_32 InfoTrns = 0x10;
constexpr double ScreenGamma = 2.2;

template <typename Function> Function Entry(PngEntry entry) {
    return reinterpret_cast<Function>(PngEntries[entry]);
}

enum class PngOutcome { Decoded, Failed };

// Everything one decode needs, kept outside the frame that calls setjmp.
struct PngSession {
    std::jmp_buf Escape;
    png_structp Reader;
    png_infop Info;
    png_bytep* Rows;
    std::uint8_t* Buffer; // Width × Height × Channels bytes, bottom row first
    std::int32_t Width;
    std::int32_t Height;
    std::int32_t BitDepth;
    std::int32_t Channels;
};

// The decode in progress; the readers run on one thread only.
PngSession* ActiveSession = nullptr;

extern "C" void PngError(png_structp, png_const_charp) {
    std::longjmp(ActiveSession->Escape, 1);
}

extern "C" void PngWarning(png_structp, png_const_charp) {}

void ReleaseSession(PngSession* session) {
    if (session->Reader != nullptr) {
        Entry<decltype(&png_destroy_read_struct)>(PngDestroyReadStruct)(
            &session->Reader, session->Info != nullptr ? &session->Info : nullptr, nullptr);
    }
    session->Reader = nullptr;
    session->Info = nullptr;
    delete[] session->Rows;
    session->Rows = nullptr;
}

// The C-facing part: only plain data lives in this frame, so longjmp may leave it.
PngOutcome DecodePng(png_FILE_p stream, PngSession* session) {
    // The error function may already run while the reader structure is being made.
    ActiveSession = session;
    if (setjmp(session->Escape) != 0) {
        ReleaseSession(session);
        delete[] session->Buffer;
        session->Buffer = nullptr;
        ActiveSession = nullptr;
        return PngOutcome::Failed;
    }
    // libpng's own version: it refuses a version string of another major or minor release.
    session->Reader = Entry<decltype(&png_create_read_struct)>(PngCreateReadStruct)(
        PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (session->Reader == nullptr) {
        ActiveSession = nullptr;
        return PngOutcome::Failed;
    }
    png_structp reader = session->Reader;
    session->Info = Entry<decltype(&png_create_info_struct)>(PngCreateInfoStruct)(reader);
    if (session->Info == nullptr) {
        PngError(reader, "no info structure");
    }
    png_infop info = session->Info;
    Entry<decltype(&png_init_io)>(PngInitIo)(reader, stream);
    Entry<decltype(&png_set_read_status_fn)>(PngSetReadStatusFn)(reader, nullptr);
    Entry<decltype(&png_read_info)>(PngReadInfo)(reader, info);

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    Entry<decltype(&png_get_IHDR)>(PngGetIhdr)(reader, info, &width, &height, &bitDepth,
                                               &colourType, nullptr, nullptr, nullptr);
    session->Width = static_cast<std::int32_t>(width);
    session->Height = static_cast<std::int32_t>(height);
    session->BitDepth = bitDepth;
    if (!TTextureImage::DimensionsAllowed(width, height)) {
        PngError(reader, "picture too large");
    }

    if (bitDepth == 16) {
        Entry<decltype(&png_set_swap)>(PngSetSwap)(reader);
        // Reduced to 8 bits, so that every file ends in 3 or 4 bytes a pixel.
        Entry<decltype(&png_set_strip_16)>(PngSetStrip16)(reader);
    }
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        Entry<decltype(&png_set_expand)>(PngSetExpand)(reader);
    }
    if (bitDepth < 8) {
        Entry<decltype(&png_set_packing)>(PngSetPacking)(reader);
    }
    if (Entry<decltype(&png_get_valid)>(PngGetValid)(reader, info, InfoTrns) == InfoTrns) {
        Entry<decltype(&png_set_expand)>(PngSetExpand)(reader);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        Entry<decltype(&png_set_gray_to_rgb)>(PngSetGrayToRgb)(reader);
    }
    double fileGamma = 0.0;
    if (Entry<decltype(&png_get_gAMA)>(PngGetGama)(reader, info, &fileGamma) == 1) {
        Entry<decltype(&png_set_gamma)>(PngSetGamma)(reader, ScreenGamma, fileGamma);
    }
    Entry<decltype(&png_read_update_info)>(PngReadUpdateInfo)(reader, info);
    const std::size_t rowBytes = Entry<decltype(&png_get_rowbytes)>(PngGetRowbytes)(reader, info);
    const std::size_t channels = rowBytes / width;
    if ((channels != 3 && channels != 4) || rowBytes != channels * width) {
        PngError(reader, "unexpected pixel layout");
    }
    session->Channels = static_cast<std::int32_t>(channels);
    session->Buffer = new (std::nothrow) std::uint8_t[rowBytes * height];
    session->Rows = new (std::nothrow) png_bytep[height];
    if (session->Buffer == nullptr || session->Rows == nullptr) {
        PngError(reader, "out of memory");
    }
    // The first row libpng delivers is the top one; it goes last in the buffer.
    for (png_uint_32 k = 0; k < height; ++k) {
        session->Rows[k] = session->Buffer + rowBytes * (height - 1 - k);
    }
    Entry<decltype(&png_read_image)>(PngReadImage)(reader, session->Rows);
    Entry<decltype(&png_read_end)>(PngReadEnd)(reader, info);
    ReleaseSession(session);
    ActiveSession = nullptr;
    return PngOutcome::Decoded;
}

// Walks the chunk lengths of the file: every chunk up to IEND must lie within the file.
// libpng allocates a chunk's buffer from its stated length before reading it, so a
// few damaged bytes could otherwise make it take gigabytes; such a file is refused.
bool ChunksWithinFile(std::FILE* file) {
    const std::int64_t size = BytesLeft(file);
    std::uint8_t signature[8];
    if (size < 8 || ReadSome(file, signature, 8) != 8) {
        return false;
    }
    std::int64_t offset = 8;
    for (;;) {
        std::uint8_t header[8];
        if (ReadSome(file, header, 8) != 8) {
            return false;
        }
        const std::int64_t length =
            (std::int64_t(header[0]) << 24) | (header[1] << 16) | (header[2] << 8) | header[3];
        offset += 8 + length + 4;
        if (length > 0x7FFFFFFF || offset > size || !SeekTo(file, offset)) {
            return false;
        }
        if (header[4] == 'I' && header[5] == 'E' && header[6] == 'N' && header[7] == 'D') {
            return true;
        }
    }
}

} // namespace

bool TTextureImage::ReadPngFile(const std::string& fileName) {
    // The bridge's open refuses a missing file and anything but a regular file.
    if (!PngAvailable || !PngEntriesBound()) {
        return false;
    }
    auto* stream =
        Entry<png_FILE_p (*)(const char*, const char*)>(PngOpenFile)(fileName.c_str(), "rb");
    if (stream == nullptr) {
        return false;
    }
    bool read = false;
    try {
        read = ReadPngStream(stream);
    } catch (...) {
        Entry<void (*)(png_FILE_p)>(PngCloseFile)(stream);
        throw;
    }
    Entry<void (*)(png_FILE_p)>(PngCloseFile)(stream);
    return read;
}

bool TTextureImage::ReadPngStream(void* stream) {
    if (!PngAvailable || !PngEntriesBound()) {
        return false;
    }
    std::FILE* file = static_cast<std::FILE*>(stream);
    const bool chunksFit = ChunksWithinFile(file);
    if (!SeekTo(file, 0) || !chunksFit) {
        return false;
    }
    PngSession session{};
    if (DecodePng(static_cast<png_FILE_p>(stream), &session) != PngOutcome::Decoded) {
        if (session.BitDepth != 0) {
            // The header was read: its figures stay, as with the other readers.
            Width = session.Width;
            Height = session.Height;
            BitsPerPixel = session.BitDepth;
        }
        return false;
    }
    Width = session.Width;
    Height = session.Height;
    BitsPerPixel = 32;
    if (session.Channels == 4) {
        Pixels = session.Buffer;
        return true;
    }
    std::unique_ptr<std::uint8_t[]> rgb(session.Buffer);
    Pixels = new std::uint8_t[static_cast<std::size_t>(Width) * std::size_t(Height) * 4];
    ExpandRgbToRgba(rgb.get(), 0, false);
    FillAlpha(255);
    return true;
}
