// Reading the drawn frames back. Two pixel pack buffers take turns: the read of one
// frame is queued into one buffer while the other, filled a frame earlier, is mapped
// and copied out, so the copy never waits for the drawing still in flight. Without
// pixel buffers the frame is read at once. Rows come back bottom-up and leave top-down.
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
static std::size_t ReaderBytes = 0; // the frame size the buffers were made for
static bool UseBuffers = false;
static GLuint PackBuffers[2] = {};
static int NextBuffer = 0;
static bool Pending[2] = {};
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

static void PrepareReader() {
    const std::size_t bytes = FrameBytes();
    if (ReaderReady && ReaderBytes == bytes) {
        return;
    }
    if (!ReaderReady) {
        UseBuffers = HasPixelBuffers();
        if (UseBuffers) {
            GenBuffers(2, PackBuffers);
        }
    }
    // A new frame size drops any read still in flight: it was of the old size.
    ReaderReady = true;
    ReaderBytes = bytes;
    Pending[0] = Pending[1] = false;
    FrameCopy.assign(bytes, 0);
    FrameCopy.shrink_to_fit();
    if (UseBuffers) {
        for (GLuint buffer : PackBuffers) {
            BindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
            BufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr,
                       GL_STREAM_READ);
        }
        BindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    }
}

static void CopyFlipped(const std::uint8_t* bottomUp, std::uint8_t* topDown) {
    const std::size_t row = static_cast<std::size_t>(FrameWidth()) * 4;
    const int height = FrameHeight();
    for (int y = 0; y < height; ++y) {
        std::memcpy(topDown + static_cast<std::size_t>(height - 1 - y) * row,
                    bottomUp + static_cast<std::size_t>(y) * row, row);
    }
}

static void ReadInto(void* target) {
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    BindFrameForReading();
    glReadPixels(0, 0, FrameWidth(), FrameHeight(), GL_BGRA, GL_UNSIGNED_BYTE, target);
}

// Copies the finished read in buffer `index` out; null when that buffer holds none.
static const std::uint8_t* CollectBuffer(int index) {
    if (!Pending[index]) {
        return nullptr;
    }
    Pending[index] = false;
    BindBuffer(GL_PIXEL_PACK_BUFFER, PackBuffers[index]);
    const void* mapped = MapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
    if (mapped != nullptr) {
        CopyFlipped(static_cast<const std::uint8_t*>(mapped), FrameCopy.data());
    } else {
        std::memset(FrameCopy.data(), 0, FrameCopy.size());
    }
    UnmapBuffer(GL_PIXEL_PACK_BUFFER);
    BindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return FrameCopy.data();
}

void StartFrameRead() {
    PrepareReader();
    if (!UseBuffers) {
        ReadFrameNow(FrameCopy.data());
        Pending[0] = true;
        return;
    }
    BindBuffer(GL_PIXEL_PACK_BUFFER, PackBuffers[NextBuffer]);
    ReadInto(nullptr);
    BindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    Pending[NextBuffer] = true;
    NextBuffer = 1 - NextBuffer;
}

const std::uint8_t* TakeFrame() {
    PrepareReader();
    if (!UseBuffers) {
        if (!Pending[0]) {
            return nullptr;
        }
        Pending[0] = false;
        return FrameCopy.data();
    }
    // NextBuffer now names the buffer filled one read before the latest.
    return CollectBuffer(NextBuffer);
}

const std::uint8_t* FlushFrame() {
    PrepareReader();
    if (!UseBuffers) {
        return TakeFrame();
    }
    const std::uint8_t* older = CollectBuffer(NextBuffer);
    if (older != nullptr) {
        return older;
    }
    return CollectBuffer(1 - NextBuffer);
}

bool FrameReaderUsesBuffers() {
    PrepareReader();
    return UseBuffers;
}

void ReadFrameNow(std::uint8_t* bgraTopDown) {
    static std::vector<std::uint8_t> bottomUp;
    bottomUp.resize(FrameBytes());
    ReadInto(bottomUp.data());
    CopyFlipped(bottomUp.data(), bgraTopDown);
}
