// Where the recorder draws: a framebuffer object of the recording's size instead of the
// 640 x 480 window, optionally multisampled and resolved into a plain one each frame to
// be read. The show's projection is made for a 4:3 picture, so the viewport is the
// largest 4:3 rectangle centred in the frame; glClear still clears the whole frame,
// which leaves the bars black.
#include "capture/Capture.h"
#include "capture/GlEntries.h"

#include <cstdio>

#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL2/SDL.h>

static PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
static PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
static PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
static PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
static PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
static PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
static PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
static PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
static PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC RenderbufferStorageMultisample = nullptr;
static PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;

static int TargetWidth = CaptureWidth;
static int TargetHeight = CaptureHeight;
static int TargetSamples = 1;
static PixelOrder TargetOrder = PixelOrder::Bgra;
// Drawn into; with one sample it is also the one read.
static GLuint DrawFramebuffer = 0;
static GLuint DrawRenderbuffers[2] = {};
// The multisampled frame resolved, for reading.
static GLuint ResolveFramebuffer = 0;
static GLuint ResolveRenderbuffer = 0;
// With samples at the edges only: the parts of the frame with edges, drawn with 4 samples.
static GLuint SampledFramebuffer = 0;
static GLuint SampledRenderbuffers[2] = {};
static constexpr int EdgeSamples = 4;

// The byte order the renderer hands the frame over in without converting it: reading in
// any other order makes Mesa swizzle every pixel, which costs as much as the read itself.
static PixelOrder NativeReadOrder() {
    while (glGetError() != GL_NO_ERROR) {
    }
    GLint format = 0;
    GLint type = 0;
    glGetIntegerv(GL_IMPLEMENTATION_COLOR_READ_FORMAT, &format);
    glGetIntegerv(GL_IMPLEMENTATION_COLOR_READ_TYPE, &type);
    const bool known = glGetError() == GL_NO_ERROR && type == GL_UNSIGNED_BYTE;
    return known && format == GL_RGBA ? PixelOrder::Rgba : PixelOrder::Bgra;
}

static bool LoadFramebufferCalls() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    int major = 0;
    int minor = 0;
    const bool core =
        version != nullptr && std::sscanf(version, "%d.%d", &major, &minor) == 2 && major >= 3;
    const bool extension =
        extensions != nullptr && SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object") == SDL_TRUE;
    if (!core && !extension) {
        return false;
    }
    return LoadGlEntry(GenFramebuffers, "glGenFramebuffers") &&
           LoadGlEntry(DeleteFramebuffers, "glDeleteFramebuffers") &&
           LoadGlEntry(BindFramebuffer, "glBindFramebuffer") &&
           LoadGlEntry(CheckFramebufferStatus, "glCheckFramebufferStatus") &&
           LoadGlEntry(FramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           LoadGlEntry(GenRenderbuffers, "glGenRenderbuffers") &&
           LoadGlEntry(DeleteRenderbuffers, "glDeleteRenderbuffers") &&
           LoadGlEntry(BindRenderbuffer, "glBindRenderbuffer") &&
           LoadGlEntry(RenderbufferStorageMultisample, "glRenderbufferStorageMultisample") &&
           LoadGlEntry(BlitFramebuffer, "glBlitFramebuffer");
}

static void ReleaseFramebuffers() {
    if (DrawFramebuffer == 0) {
        return; // nothing made: the window is drawn into
    }
    BindFramebuffer(GL_FRAMEBUFFER, 0);
    BindRenderbuffer(GL_RENDERBUFFER, 0);
    DeleteFramebuffers(1, &DrawFramebuffer);
    DeleteRenderbuffers(2, DrawRenderbuffers);
    if (ResolveFramebuffer != 0) {
        DeleteFramebuffers(1, &ResolveFramebuffer);
        DeleteRenderbuffers(1, &ResolveRenderbuffer);
    }
    if (SampledFramebuffer != 0) {
        DeleteFramebuffers(1, &SampledFramebuffer);
        DeleteRenderbuffers(2, SampledRenderbuffers);
    }
    DrawFramebuffer = ResolveFramebuffer = ResolveRenderbuffer = SampledFramebuffer = 0;
    DrawRenderbuffers[0] = DrawRenderbuffers[1] = 0;
    SampledRenderbuffers[0] = SampledRenderbuffers[1] = 0;
}

// A framebuffer with a colour and (when depthFormat is not 0) a depth renderbuffer.
static bool MakeFramebuffer(GLuint& framebuffer, GLuint* renderbuffers, int samples,
                            GLenum colourFormat, GLenum depthFormat, int width, int height) {
    GenFramebuffers(1, &framebuffer);
    BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    GenRenderbuffers(depthFormat != 0 ? 2 : 1, renderbuffers);
    BindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
    RenderbufferStorageMultisample(GL_RENDERBUFFER, samples > 1 ? samples : 0, colourFormat, width,
                                   height);
    FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                            renderbuffers[0]);
    if (depthFormat != 0) {
        BindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
        RenderbufferStorageMultisample(GL_RENDERBUFFER, samples > 1 ? samples : 0, depthFormat,
                                       width, height);
        FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                renderbuffers[1]);
    }
    BindRenderbuffer(GL_RENDERBUFFER, 0);
    return CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE &&
           glGetError() == GL_NO_ERROR;
}

// Clears the bound framebuffer to black, whatever the show's clear colour.
static void ClearOnce() {
    GLfloat clearColour[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
}

bool OpenFrameTarget(int width, int height, int samples, std::string& error) {
    static const bool haveFramebuffers = LoadFramebufferCalls();
    ReleaseFramebuffers();
    if (width == CaptureWidth && height == CaptureHeight && samples == 1) {
        // The window itself: llvmpipe rounds a few blended pixels differently in a
        // framebuffer object, and default recordings must not change.
        TargetWidth = width;
        TargetHeight = height;
        TargetSamples = samples;
        glReadBuffer(GL_BACK);
        TargetOrder = NativeReadOrder();
        glViewport(0, 0, width, height);
        return true;
    }
    if (!haveFramebuffers) {
        error =
            "this OpenGL has no framebuffer objects: only 640x480 with 1 sample can be recorded";
        return false;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    // The window's own formats, so that a frame of the window's size comes out the same.
    GLint alphaBits = 0;
    GLint depthBits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    const GLenum colourFormat = alphaBits > 0 ? GL_RGBA8 : GL_RGB8;
    const GLenum depthFormat = depthBits >= 32   ? GL_DEPTH_COMPONENT32
                               : depthBits >= 24 ? GL_DEPTH_COMPONENT24
                                                 : GL_DEPTH_COMPONENT16;
    GLint maxSamples = 1;
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    if (samples == SamplesAtEdges && maxSamples < EdgeSamples) {
        error = "the OpenGL renderer (" +
                std::string(reinterpret_cast<const char*>(glGetString(GL_RENDERER))) +
                ") draws with at most " + std::to_string(maxSamples) +
                " samples; smooth edges need 4 (--samples 1 draws without)";
        return false;
    }
    if (samples > maxSamples) {
        error = "the OpenGL renderer (" +
                std::string(reinterpret_cast<const char*>(glGetString(GL_RENDERER))) +
                ") draws with at most " + std::to_string(maxSamples) + " samples, not " +
                std::to_string(samples);
        return false;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width > maxSize || height > maxSize) {
        error = "the OpenGL renderer cannot draw frames of " + std::to_string(width) + "x" +
                std::to_string(height) + " (at most " + std::to_string(maxSize) + " a side)";
        return false;
    }
    const int drawSamples = samples == SamplesAtEdges ? 1 : samples;
    if (!MakeFramebuffer(DrawFramebuffer, DrawRenderbuffers, drawSamples, colourFormat, depthFormat,
                         width, height)) {
        ReleaseFramebuffers();
        error = "cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                " framebuffer with " + std::to_string(samples) + " sample(s) to draw into";
        return false;
    }
    if (samples == SamplesAtEdges) {
        GLint given = 0;
        const bool made = MakeFramebuffer(SampledFramebuffer, SampledRenderbuffers, EdgeSamples,
                                          colourFormat, depthFormat, width, height);
        glGetIntegerv(GL_SAMPLES, &given);
        if (!made || given != EdgeSamples) {
            ReleaseFramebuffers();
            error = "cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                    " framebuffer with 4 samples for the edges";
            return false;
        }
        // Only the picture is drawn each frame; the bars are cleared once here.
        ClearOnce();
        BindFramebuffer(GL_FRAMEBUFFER, DrawFramebuffer);
        ClearOnce();
    }
    if (samples > 1) {
        GLint given = 0;
        glGetIntegerv(GL_SAMPLES, &given);
        if (given != samples) {
            ReleaseFramebuffers();
            error = "asked the OpenGL renderer for " + std::to_string(samples) +
                    " samples, it gives " + std::to_string(given);
            return false;
        }
        if (!MakeFramebuffer(ResolveFramebuffer, &ResolveRenderbuffer, 1, colourFormat, 0, width,
                             height)) {
            ReleaseFramebuffers();
            error = "cannot make a framebuffer to resolve the samples into";
            return false;
        }
        // Only the picture is resolved each frame (the resolve is a large share of a
        // frame in a software renderer); the bars are cleared once here.
        ClearOnce();
    }
    BindFramebuffer(GL_FRAMEBUFFER, samples > 1 ? ResolveFramebuffer : DrawFramebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    TargetOrder = NativeReadOrder();
    BindFramebuffer(GL_FRAMEBUFFER, DrawFramebuffer);
    TargetWidth = width;
    TargetHeight = height;
    TargetSamples = samples;
    const PictureRect picture = PictureRectFor(width, height);
    glViewport(picture.X, picture.Y, picture.Width, picture.Height);
    return true;
}

void BindFrameForReading() {
    if (DrawFramebuffer == 0) {
        glReadBuffer(GL_BACK);
        return;
    }
    if (ResolveFramebuffer != 0) {
        BindFramebuffer(GL_READ_FRAMEBUFFER, DrawFramebuffer);
        BindFramebuffer(GL_DRAW_FRAMEBUFFER, ResolveFramebuffer);
        const PictureRect r = PictureRectFor(TargetWidth, TargetHeight);
        BlitFramebuffer(r.X, r.Y, r.X + r.Width, r.Y + r.Height, r.X, r.Y, r.X + r.Width,
                        r.Y + r.Height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        BindFramebuffer(GL_DRAW_FRAMEBUFFER, DrawFramebuffer);
        BindFramebuffer(GL_READ_FRAMEBUFFER, ResolveFramebuffer);
    }
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

void BindPlainFrame() {
    BindFramebuffer(GL_FRAMEBUFFER, DrawFramebuffer);
}

void BindSampledFrame() {
    BindFramebuffer(GL_FRAMEBUFFER, SampledFramebuffer);
}

void ResolveSampledRect(const PictureRect& r) {
    BindFramebuffer(GL_READ_FRAMEBUFFER, SampledFramebuffer);
    BindFramebuffer(GL_DRAW_FRAMEBUFFER, DrawFramebuffer);
    BlitFramebuffer(r.X, r.Y, r.X + r.Width, r.Y + r.Height, r.X, r.Y, r.X + r.Width,
                    r.Y + r.Height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

int FrameWidth() {
    return TargetWidth;
}

int FrameHeight() {
    return TargetHeight;
}

PixelOrder FramePixelOrder() {
    return TargetOrder;
}

int FrameSamples() {
    return TargetSamples;
}

std::size_t FrameBytes() {
    return std::size_t{static_cast<unsigned>(TargetWidth)} * static_cast<unsigned>(TargetHeight) *
           4;
}
