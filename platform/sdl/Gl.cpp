// Device contexts, pixel formats and OpenGL rendering contexts over SDL2.
//
// A window's device context is its own (the class style the show uses). The pixel
// format request becomes SDL GL attributes; since SDL fixes those when it makes a
// window, the SDL window itself is made when the format is bound, which happens once
// per window, as on Win32. The context is an OpenGL compatibility context, so the show
// draws with OpenGL 1.1 immediate mode, display lists and GLU.
#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Win32.h"
#include "platform/sdl/DisplayPath.h"
#include "platform/sdl/Objects.h"

static bool OffscreenVideo() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "offscreen") == 0;
}

// The one format this layer offers: the request, as far as the display honours it.
static constexpr int OfferedFormat = 1;

static std::vector<std::unique_ptr<PlatformGlContext>> Contexts;

// Looked up among the live windows' own contexts, so a stale handle is never read.
static bool IsLiveDc(HDC dc) {
    return dc != nullptr && WindowFromDc(dc) != nullptr;
}

static bool IsLiveContext(HGLRC context) {
    return context != nullptr &&
           std::any_of(Contexts.begin(), Contexts.end(),
                       [context](const auto& live) { return live.get() == context; });
}

// Sets SDL's attributes for the next window from a pixel format request; false for a
// request no SDL window can meet (colour-index pixels, no OpenGL, not for a window).
static bool RequestAttributes(const PIXELFORMATDESCRIPTOR& request) {
    if (request.nSize != sizeof(PIXELFORMATDESCRIPTOR) || request.nVersion != 1) {
        SetPlatformFailure("pixel format request: bad size or version");
        return false;
    }
    if ((request.dwFlags & PFD_SUPPORT_OPENGL) == 0 ||
        (request.dwFlags & PFD_DRAW_TO_WINDOW) == 0 || request.iPixelType != PFD_TYPE_RGBA) {
        SetPlatformFailure("pixel format request: only RGBA OpenGL windows are offered");
        return false;
    }
    // Colour bits are spread over the three channels, rounded down: 16 asks for 5-5-5
    // at least, and the display's usual 8-8-8 meets that.
    const int perChannel = std::min(request.cColorBits / 3, 16);
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (request.dwFlags & PFD_DOUBLEBUFFER) != 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, request.cRedBits != 0 ? request.cRedBits : perChannel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE,
                        request.cGreenBits != 0 ? request.cGreenBits : perChannel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, request.cBlueBits != 0 ? request.cBlueBits : perChannel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, request.cAlphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.cDepthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, request.cStencilBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, request.cAccumRedBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, request.cAccumGreenBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, request.cAccumBlueBits);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, request.cAccumAlphaBits);
    return true;
}

static Uint32 SdlFlagsFor(const PlatformWindow& window, bool withOpenGl) {
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (withOpenGl) {
        flags |= SDL_WINDOW_OPENGL;
    }
    if ((window.Style & WS_POPUP) != 0) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    return flags;
}

bool EnsureSdlWindow(PlatformWindow* window, bool withOpenGl) {
    if (window->Sdl != nullptr) {
        return true;
    }
    window->Sdl = SDL_CreateWindow(window->Title.c_str(), window->X, window->Y, window->Width,
                                   window->Height, SdlFlagsFor(*window, withOpenGl));
    if (window->Sdl == nullptr) {
        SetPlatformFailure(SDL_GetError());
        return false;
    }
    ApplyDisplayModeToNewWindow(window);
    return true;
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
    window->DcTaken = true;
    return &window->OwnDc;
}

int ReleaseDC(HWND window, HDC dc) {
    ObservePlatformCall("ReleaseDC");
    if (!IsLiveWindow(window) || dc != &window->OwnDc) {
        SetPlatformFailure("ReleaseDC: not this window's device context");
        return 0;
    }
    // A window's own device context stays with the window; releasing it changes nothing.
    window->DcTaken = false;
    return 1;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request) {
    ObservePlatformCall("ChoosePixelFormat");
    if (!IsLiveDc(dc) || request == nullptr) {
        SetPlatformFailure("ChoosePixelFormat: invalid parameter");
        return 0;
    }
    if (dc->BoundFormat != 0) {
        return dc->BoundFormat;
    }
    if (!RequestAttributes(*request)) {
        return 0;
    }
    // Ask the display: a hidden probe window finds out whether any visual meets the request.
    SDL_Window* probe = SDL_CreateWindow(
        "", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
    if (probe == nullptr) {
        SetPlatformFailure(SDL_GetError());
        return 0;
    }
    SDL_DestroyWindow(probe);
    dc->ChosenFormat = OfferedFormat;
    dc->ChosenRequest = *request;
    return OfferedFormat;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* request) {
    ObservePlatformCall("SetPixelFormat");
    if (!IsLiveDc(dc) || request == nullptr) {
        SetPlatformFailure("SetPixelFormat: invalid parameter");
        return FALSE;
    }
    if (dc->BoundFormat != 0 || format != OfferedFormat || dc->ChosenFormat != format) {
        SetPlatformFailure("SetPixelFormat: format not offered, or already set for this window");
        return FALSE;
    }
    PlatformWindow* window = dc->Window;
    if (window->Sdl != nullptr) {
        SetPlatformFailure("SetPixelFormat: the window already has a surface without OpenGL");
        return FALSE;
    }
    if (!RequestAttributes(dc->ChosenRequest) || !EnsureSdlWindow(window, true)) {
        return FALSE;
    }
    dc->BoundFormat = format;
    return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
    ObservePlatformCall("wglCreateContext");
    if (!IsLiveDc(dc) || dc->BoundFormat == 0 || dc->Window->Sdl == nullptr) {
        SetPlatformFailure("wglCreateContext: the device context has no pixel format");
        return nullptr;
    }
    // SDL makes a new context current; Win32 does not, so the current one is put back.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_GLContext made = SDL_GL_CreateContext(dc->Window->Sdl);
    if (made == nullptr) {
        SetPlatformFailure(SDL_GetError());
        return nullptr;
    }
    SDL_GL_MakeCurrent(previousWindow, previousContext);
    auto context = std::make_unique<PlatformGlContext>();
    context->Window = dc->Window;
    context->Sdl = made;
    Contexts.push_back(std::move(context));
    return Contexts.back().get();
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    ObservePlatformCall("wglMakeCurrent");
    if (context == nullptr) {
        if (SDL_GL_GetCurrentContext() != nullptr) {
            SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
        }
        return TRUE;
    }
    if (!IsLiveDc(dc) || !IsLiveContext(context) || context->Window != dc->Window ||
        dc->Window->Sdl == nullptr) {
        SetPlatformFailure("wglMakeCurrent: context and device context do not belong together");
        return FALSE;
    }
    if (SDL_GL_MakeCurrent(dc->Window->Sdl, context->Sdl) != 0) {
        SetPlatformFailure(SDL_GetError());
        return FALSE;
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
    if (SDL_GL_GetCurrentContext() == context->Sdl) {
        SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
    }
    SDL_GL_DeleteContext(context->Sdl);
    Contexts.erase(found);
    return TRUE;
}

BOOL SwapBuffers(HDC dc) {
    ObservePlatformCall("SwapBuffers");
    if (!IsLiveDc(dc) || dc->BoundFormat == 0 || dc->Window->Sdl == nullptr) {
        SetPlatformFailure("SwapBuffers: the device context has no pixel format");
        return FALSE;
    }
    SDL_GL_SwapWindow(dc->Window->Sdl);
    // The screen may have changed size under a letterboxed window since the last frame.
    KeepPictureViewport(dc->Window);
    // Without a screen nothing paces the frames: a software renderer would queue
    // frames faster than it draws them, without end. Each frame is finished here.
    if (OffscreenVideo()) {
        glFinish();
    }
    return TRUE;
}
