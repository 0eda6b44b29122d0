// Reading the drawn frames back. Two pixel pack buffers take turns: the read of one
// frame is queued into one buffer while the other, filled a frame earlier, is mapped
// and handed to the encoder, which copies it out row by row, top row first: one copy
// of the frame in this process, not two. Without pixel buffers the frame is read at
// once. Only the picture is read; the bars stay as the buffers were cleared, black.
#include "capture/Capture.h"
#include "capture/GlEntries.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL2/SDL.h>

static PFNGLGENBUFFERSPROC GenBuffers = nullptr;
static PFNGLBINDBUFFERPROC BindBuffer = nullptr;
static PFNGLBUFFERDATAPROC BufferData = nullptr;
static PFNGLMAPBUFFERPROC MapBuffer = nullptr;
static PFNGLUNMAPBUFFERPROC UnmapBuffer = nullptr;

static bool ReaderReady = false;
// The frame size the buffers were made for.
static int ReaderWidth = 0;
static int ReaderHeight = 0;
static bool UseBuffers = false;
static GLuint PackBuffers[2] = {};
static int NextBuffer = 0;
static bool Pending[2] = {};
static int Mapped = -1; // the buffer handed out by the last TakeFrame or FlushFrame
static std::vector<std::uint8_t> FrameCopy;

static bool HasPixelBuffers() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0;
    int minor = 0;
    if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2) {
        return false;
    }
    if (major < 2 || (major == 2 && minor < 1)) {
        return false;
    }
    return LoadGlEntry(GenBuffers, "glGenBuffers") && LoadGlEntry(BindBuffer, "glBindBuffer") &&
           LoadGlEntry(BufferData, "glBufferData") && LoadGlEntry(MapBuffer, "glMapBuffer") &&
           LoadGlEntry(UnmapBuffer, "glUnmapBuffer");
}

static void ReleaseMapped() {
    if (Mapped < 0) {
        return;
    }
    BindBuffer(GL_PIXEL_PACK_BUFFER, PackBuffers[Mapped]);
    UnmapBuffer(GL_PIXEL_PACK_BUFFER);
    BindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    Mapped = -1;
}

static void PrepareReader() {
    const std::size_t bytes = FrameBytes();
    if (ReaderReady && ReaderWidth == FrameWidth() && ReaderHeight == FrameHeight()) {
        return;
    }
    if (!ReaderReady) {
        UseBuffers = HasPixelBuffers();
        if (UseBuffers) {
            GenBuffers(2, PackBuffers);
        }
    }
    ReleaseMapped();
    // A new frame size drops any read still in flight: it was of the old size.
    ReaderReady = true;
    ReaderWidth = FrameWidth();
    ReaderHeight = FrameHeight();
    Pending[0] = Pending[1] = false;
    // Zeroed, because the bars are never read into them.
    FrameCopy.assign(bytes, 0);
    FrameCopy.shrink_to_fit();
    if (UseBuffers) {
        for (GLuint buffer : PackBuffers) {
            BindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
            BufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes), FrameCopy.data(),
                       GL_STREAM_READ);
        }
        BindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        FrameCopy = {};
    }
}

// Reads the picture of the frame just drawn into `target` (a frame-sized block, rows
// bottom-up as OpenGL gives them), leaving the bars in it untouched.
static void ReadPicture(void* target, PixelOrder order) {
    const PictureRect r = PictureRectFor(FrameWidth(), FrameHeight());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, FrameWidth());
    glPixelStorei(GL_PACK_SKIP_PIXELS, r.X);
    glPixelStorei(GL_PACK_SKIP_ROWS, r.Y);
    BindFrameForReading();
    glReadPixels(r.X, r.Y, r.Width, r.Height, order == PixelOrder::Rgba ? GL_RGBA : GL_BGRA,
                 GL_UNSIGNED_BYTE, target);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
}

static FrameRows BottomUpRows(const std::uint8_t* bottomUp) {
    const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(FrameWidth()) * 4;
    return {bottomUp + row * (FrameHeight() - 1), -row};
}

// Maps the finished read in buffer `index` and hands it out; Top null when that buffer
// holds none.
static FrameRows CollectBuffer(int index) {
    if (!Pending[index]) {
        return {};
    }
    Pending[index] = false;
    BindBuffer(GL_PIXEL_PACK_BUFFER, PackBuffers[index]);
    const void* mapped = MapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    BindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (mapped == nullptr) {
        // Lost: a black frame keeps the count of frames, and so the sound, in step.
        FrameCopy.assign(FrameBytes(), 0);
        return BottomUpRows(FrameCopy.data());
    }
    Mapped = index;
    return BottomUpRows(static_cast<const std::uint8_t*>(mapped));
}

void StartFrameRead() {
    PrepareReader();
    ReleaseMapped();
    if (!UseBuffers) {
        ReadPicture(FrameCopy.data(), FramePixelOrder());
        Pending[0] = true;
        return;
    }
    BindBuffer(GL_PIXEL_PACK_BUFFER, PackBuffers[NextBuffer]);
    ReadPicture(nullptr, FramePixelOrder());
    BindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    Pending[NextBuffer] = true;
    NextBuffer = 1 - NextBuffer;
}

FrameRows TakeFrame() {
    PrepareReader();
    ReleaseMapped();
    if (!UseBuffers) {
        if (!Pending[0]) {
            return {};
        }
        Pending[0] = false;
        return BottomUpRows(FrameCopy.data());
    }
    // NextBuffer now names the buffer filled one read before the latest.
    return CollectBuffer(NextBuffer);
}

FrameRows FlushFrame() {
    PrepareReader();
    ReleaseMapped();
    if (!UseBuffers) {
        return TakeFrame();
    }
    const FrameRows older = CollectBuffer(NextBuffer);
    if (older.Top != nullptr) {
        return older;
    }
    return CollectBuffer(1 - NextBuffer);
}

bool FrameReaderUsesBuffers() {
    PrepareReader();
    return UseBuffers;
}

void ReadFrameNow(std::uint8_t* bgraTopDown) {
    std::vector<std::uint8_t> bottomUp(FrameBytes(), 0);
    ReadPicture(bottomUp.data(), PixelOrder::Bgra);
    const FrameRows rows = BottomUpRows(bottomUp.data());
    const std::size_t row = static_cast<std::size_t>(FrameWidth()) * 4;
    for (int y = 0; y < FrameHeight(); ++y) {
        std::memcpy(bgraTopDown + row * static_cast<std::size_t>(y), rows.Top + rows.Stride * y,
                    row);
    }
}
