// JPEG reader: decodes the whole picture at full size with libjpeg straight into the
// pixel buffer, bottom row first, opaque.
//
// libjpeg reports errors through error_exit, which must not return. Ours jumps back
// with longjmp into DecodeJpeg, which holds nothing that needs unwinding; the C++ error
// is raised only after libjpeg's state has been destroyed.
#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "textures/CheckedFile.h"
#include "textures/ImageErrors.h"
#include "textures/TextureImage.h"

namespace {

enum class JpegOutcome { Decoded, NotJpeg, Refused, Damaged };

struct JpegErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Escape;
    bool Decoding; // header read: the picture data is being decoded
    char Message[JMSG_LENGTH_MAX];
};

// Everything one decode needs, kept outside the frame that calls setjmp.
struct JpegSession {
    jpeg_decompress_struct Info;
    JpegErrorManager Errors;
    std::uint8_t* Pixels;
    std::uint8_t* CmykRow;
    std::int32_t Width;
    std::int32_t Height;
};

extern "C" void JpegErrorExit(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    info->err->format_message(info, errors->Message);
    std::longjmp(errors->Escape, 1);
}

// Warnings while the picture data is decoded (corrupt or missing data) are damage:
// they would otherwise turn into a picture of garbage. Warnings about the headers are
// harmless and dropped, as is libjpeg's trace output.
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    if (level < 0 && errors->Decoding) {
        JpegErrorExit(info);
    }
}

// Inverted (Adobe) or plain CMYK to red, green, blue, alpha.
void CmykToRgba(const std::uint8_t* cmyk, std::uint8_t* rgba, std::int32_t width, bool inverted) {
    for (std::int32_t x = 0; x < width; ++x, cmyk += 4, rgba += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgba[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
        rgba[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        rgba[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
        rgba[3] = 255;
    }
}

// The C-facing part: only plain data lives in this frame, so longjmp may leave it.
JpegOutcome DecodeJpeg(std::FILE* file, JpegSession* session) {
    jpeg_decompress_struct* info = &session->Info;
    info->err = jpeg_std_error(&session->Errors.Base);
    session->Errors.Base.error_exit = JpegErrorExit;
    session->Errors.Base.emit_message = JpegEmitMessage;
    session->Errors.Decoding = false;
    session->Pixels = nullptr;
    session->CmykRow = nullptr;
    if (setjmp(session->Errors.Escape) != 0) {
        jpeg_destroy_decompress(info);
        delete[] session->Pixels;
        session->Pixels = nullptr;
        delete[] session->CmykRow;
        session->CmykRow = nullptr;
        return session->Errors.Decoding ? JpegOutcome::Damaged : JpegOutcome::NotJpeg;
    }
    jpeg_create_decompress(info);
    jpeg_stdio_src(info, file);
    jpeg_read_header(info, TRUE);

    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    if (!TTextureImage::DimensionsAllowed(info->image_width, info->image_height)) {
        jpeg_destroy_decompress(info);
        return JpegOutcome::Refused;
    }
    const std::int32_t width = static_cast<std::int32_t>(info->image_width);
    const std::int32_t height = static_cast<std::int32_t>(info->image_height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    session->Pixels = new (std::nothrow) std::uint8_t[rowBytes * static_cast<std::size_t>(height)];
    if (cmyk) {
        session->CmykRow = new (std::nothrow) std::uint8_t[rowBytes];
    }
    if (session->Pixels == nullptr || (cmyk && session->CmykRow == nullptr)) {
        jpeg_destroy_decompress(info);
        delete[] session->Pixels;
        session->Pixels = nullptr;
        delete[] session->CmykRow;
        session->CmykRow = nullptr;
        return JpegOutcome::Refused;
    }

    session->Errors.Decoding = true;
    jpeg_start_decompress(info);
    if (info->output_width != info->image_width || info->output_height != info->image_height) {
        ERREXIT(info, JERR_IMAGE_TOO_BIG);
    }
    while (info->output_scanline < info->output_height) {
        // The first row libjpeg delivers is the top one; it goes last in the buffer.
        std::uint8_t* target =
            session->Pixels +
            rowBytes * static_cast<std::size_t>(height - 1 -
                                                static_cast<std::int32_t>(info->output_scanline));
        JSAMPROW row = cmyk ? session->CmykRow : target;
        if (jpeg_read_scanlines(info, &row, 1) != 1) {
            ERREXIT(info, JERR_INPUT_EOF);
        }
        if (cmyk) {
            CmykToRgba(session->CmykRow, target, width, info->saw_Adobe_marker);
        }
    }
    jpeg_finish_decompress(info);
    jpeg_destroy_decompress(info);
    delete[] session->CmykRow;
    session->CmykRow = nullptr;
    session->Width = width;
    session->Height = height;
    return JpegOutcome::Decoded;
}

} // namespace

bool TTextureImage::ReadJpegFile(const std::string& fileName) {
    FileHandle file = OpenForReading(fileName);
    if (!file) {
        return false;
    }
    return ReadJpegStream(file.get());
}

bool TTextureImage::ReadJpegStream(std::FILE* file) {
    JpegSession session{};
    switch (DecodeJpeg(file, &session)) {
    case JpegOutcome::Decoded:
        Width = session.Width;
        Height = session.Height;
        BitsPerPixel = 32;
        Pixels = session.Pixels;
        return true;
    case JpegOutcome::Damaged:
        throw EJPEG(session.Errors.Message);
    case JpegOutcome::NotJpeg:
    case JpegOutcome::Refused:
        break;
    }
    return false;
}
