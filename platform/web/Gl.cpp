// Device contexts, the pixel format and the rendering context of the web back end: the
// context is a WebGL 1 context on the page's canvas, with the GL 1.1 layer (Gl11.cpp)
// over it. SwapBuffers hands control to the browser until its next animation frame:
// the browser shows the canvas then, and the show's loop goes on where it stopped.
#include <emscripten/emscripten.h>
#include <emscripten/html5_webgl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/Win32.h"
#include "platform/web/Objects.h"
#include "platform/web/WebGl.h"

static std::vector<std::unique_ptr<PlatformGlContext>> Contexts;

// A page that reads its frames back after they are shown (the tests') asks to keep them.
EM_JS(int, web_keep_frames, (), { return Module.larkspurKeepFrames ? 1 : 0; });

// Waits for the next animation frame; what the page asked to run at each frame (the
// sound output's top-up) runs first.
EM_ASYNC_JS(void, web_wait_for_frame, (), {
    await new Promise(function(resolve) { requestAnimationFrame(resolve); });
    for (const hook of Module.larkspurOnFrame || []) {
        hook();
    }
});

void WaitForAnimationFrame() {
    web_wait_for_frame();
}

static bool IsLiveDc(HDC dc) {
    return dc != nullptr && WindowFromDc(dc) != nullptr;
}

static bool IsLiveContext(HGLRC context) {
    return context != nullptr &&
           std::any_of(Contexts.begin(), Contexts.end(),
                       [context](const auto& live) { return live.get() == context; });
}

void DetachContextsFromWindow(PlatformWindow* window) {
    for (const auto& context : Contexts) {
        if (context->Window == window) {
            context->Window = nullptr;
        }
    }
}

HDC GetDC(HWND window) {
    ObservePlatformCall("GetDC");
    if (!IsLiveWindow(window)) {
        SetPlatformFailure("GetDC: invalid window handle");
        return nullptr;
    }
    return &window->OwnDc;
}

int ReleaseDC(HWND window, HDC dc) {
    ObservePlatformCall("ReleaseDC");
    return IsLiveWindow(window) && dc == &window->OwnDc ? 1 : 0;
}

// The canvas offers one format: RGBA with a depth buffer, double-buffered by the page.
int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    ObservePlatformCall("ChoosePixelFormat");
    if (!IsLiveDc(dc) || request == nullptr || request->nSize != sizeof(PIXELFORMATDESCRIPTOR) ||
        (request->dwFlags & PFD_SUPPORT_OPENGL) == 0 || request->iPixelType != PFD_TYPE_RGBA) {
        SetPlatformFailure("ChoosePixelFormat: only RGBA OpenGL windows are offered");
        return 0;
    }
    dc->FormatChosen = true;
    return 1;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* request) {
    ObservePlatformCall("SetPixelFormat");
    if (!IsLiveDc(dc) || request == nullptr || format != 1 || !dc->FormatChosen ||
        dc->FormatBound) {
        SetPlatformFailure("SetPixelFormat: format not offered, or already set");
        return FALSE;
    }
    dc->FormatBound = true;
    return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
    ObservePlatformCall("wglCreateContext");
    if (!IsLiveDc(dc) || !dc->FormatBound) {
        SetPlatformFailure("wglCreateContext: the device context has no pixel format");
        return nullptr;
    }
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_FALSE;
    // One sample per pixel, as the desktop's window has.
    attributes.antialias = EM_FALSE;
    attributes.preserveDrawingBuffer = web_keep_frames() != 0 ? EM_TRUE : EM_FALSE;
    attributes.majorVersion = 1;
    attributes.minorVersion = 0;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE made =
        emscripten_webgl_create_context("#canvas", &attributes);
    if (made <= 0) {
        SetPlatformFailure("wglCreateContext: the browser gives no WebGL context");
        return nullptr;
    }
    auto context = std::make_unique<PlatformGlContext>();
    context->Window = dc->Window;
    context->WebGl = static_cast<int>(made);
    Contexts.push_back(std::move(context));
    return Contexts.back().get();
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    ObservePlatformCall("wglMakeCurrent");
    if (context == nullptr) {
        emscripten_webgl_make_context_current(0);
        return TRUE;
    }
    if (!IsLiveDc(dc) || !IsLiveContext(context) || context->Window != dc->Window) {
        SetPlatformFailure("wglMakeCurrent: context and device context do not belong together");
        return FALSE;
    }
    const bool first = emscripten_webgl_get_current_context() != context->WebGl;
    if (emscripten_webgl_make_context_current(context->WebGl) != EMSCRIPTEN_RESULT_SUCCESS) {
        SetPlatformFailure("wglMakeCurrent: the WebGL context cannot be made current");
        return FALSE;
    }
    if (first) {
        StartWebGl();
    }
    return TRUE;
}

BOOL wglDeleteContext(HGLRC context) {
    ObservePlatformCall("wglDeleteContext");
    const auto found = std::find_if(Contexts.begin(), Contexts.end(),
                                    [context](const auto& live) { return live.get() == context; });
    if (context == nullptr || found == Contexts.end()) {
        SetPlatformFailure("wglDeleteContext: invalid context handle");
        return FALSE;
    }
    if (emscripten_webgl_get_current_context() == context->WebGl) {
        emscripten_webgl_make_context_current(0);
    }
    emscripten_webgl_destroy_context(context->WebGl);
    Contexts.erase(found);
    return TRUE;
}

BOOL SwapBuffers(HDC dc) {
    ObservePlatformCall("SwapBuffers");
    if (!IsLiveDc(dc) || !dc->FormatBound) {
        SetPlatformFailure("SwapBuffers: the device context has no pixel format");
        return FALSE;
    }
    WaitForAnimationFrame();
    return TRUE;
}
