#include "platform/sdl/DisplayPath.h"

#include <GL/gl.h>
#include <SDL2/SDL_syswm.h>
#include <dlfcn.h>

#include <cstring>

#include "show/PictureRect.h"

ModePath ChooseModePath(const DisplayFacts& facts) {
    switch (facts.Kind) {
    case VideoKind::Wayland:
        return ModePath::Letterbox;
    case VideoKind::X11:
        if (facts.Xwayland) {
            return ModePath::Letterbox;
        }
        return facts.ExactMode ? ModePath::Switch : ModePath::Letterbox;
    case VideoKind::Kms:
        return facts.ExactMode ? ModePath::Switch : ModePath::Letterbox;
    case VideoKind::Headless:
        break;
    }
    // Drawing into memory: there is no screen to fill, only modes SDL makes up.
    return facts.ExactMode ? ModePath::Switch : ModePath::Refuse;
}

VideoKind VideoKindNamed(const char* driver) {
    if (driver == nullptr) {
        return VideoKind::Headless;
    }
    if (SDL_strcasecmp(driver, "x11") == 0) {
        return VideoKind::X11;
    }
    if (SDL_strcasecmp(driver, "wayland") == 0) {
        return VideoKind::Wayland;
    }
    if (SDL_strcasecmp(driver, "kmsdrm") == 0) {
        return VideoKind::Kms;
    }
    return VideoKind::Headless;
}

// Xwayland announces itself with an extension of its name. Xlib is asked through the
// copy SDL already loaded, so the show links no X library of its own.
static bool ServerIsXwayland(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return false;
    }
    void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (xlib == nullptr) {
        return false;
    }
    using QueryExtension = int (*)(void*, const char*, int*, int*, int*);
    auto query = reinterpret_cast<QueryExtension>(dlsym(xlib, "XQueryExtension"));
    int opcode = 0;
    int event = 0;
    int error = 0;
    const bool found =
        query != nullptr && query(info.info.x11.display, "XWAYLAND", &opcode, &event, &error) != 0;
    dlclose(xlib);
    return found;
}

DisplayFacts ReadDisplayFacts(SDL_Window* window, int width, int height) {
    DisplayFacts facts;
    facts.Kind = VideoKindNamed(SDL_GetCurrentVideoDriver());
    int display = SDL_GetWindowDisplayIndex(window);
    if (display < 0) {
        display = 0;
    }
    SDL_DisplayMode wanted = {};
    wanted.w = width;
    wanted.h = height;
    SDL_DisplayMode closest = {};
    facts.ExactMode = SDL_GetClosestDisplayMode(display, &wanted, &closest) != nullptr &&
                      closest.w == width && closest.h == height;
    facts.Xwayland = facts.Kind == VideoKind::X11 && ServerIsXwayland(window);
    return facts;
}

bool BeginLetterbox(PlatformWindow* window, int width, int height) {
    window->Letterboxed = true;
    window->PictureWidth = width;
    window->PictureHeight = height;
    if (SDL_SetWindowFullscreen(window->Sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        window->Letterboxed = false;
        SetPlatformFailure(SDL_GetError());
        return false;
    }
    KeepPictureViewport(window);
    return true;
}

void EndLetterbox(PlatformWindow* window) {
    window->Letterboxed = false;
}

void KeepPictureViewport(PlatformWindow* window) {
    if (window == nullptr || !window->Letterboxed || window->Sdl == nullptr ||
        SDL_GL_GetCurrentWindow() != window->Sdl || SDL_GL_GetCurrentContext() == nullptr) {
        return;
    }
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window->Sdl, &width, &height);
    if (width <= 0 || height <= 0) {
        return;
    }
    const PictureRect r = PictureRectFor(width, height);
    glViewport(r.X, r.Y, r.Width, r.Height);
}
