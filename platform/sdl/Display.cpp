// The display mode change of the show: ChangeDisplaySettingsA over SDL full-screen modes.
//
// Win32 changes the mode of the whole display; SDL changes it for a window, while that
// window is full screen. So a requested mode is remembered and applied to the show's
// window (the newest one, and any made later); no mode gives the desktop back, and so
// does the end of the process. A size the display cannot show exactly is refused, as
// Win32 refuses it, and nothing changes. Where the mode cannot really change, the window
// fills the screen instead (sdl/DisplayPath.h).
#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/DisplayGuard.h"
#include "platform/Win32.h"
#include "platform/sdl/DisplayPath.h"
#include "platform/sdl/Objects.h"

static bool ModeRequested = false;
static SDL_DisplayMode RequestedMode = {};
static bool RestoreAtExitSet = false;

// Win32 gives a CDS_FULLSCREEN mode back when the program ends; X keeps a changed mode
// after its client is gone. So a program that ends without restoring (the end of the
// show ends the process from inside a frame) still leaves the desktop as it was. Ends
// that run no hook at all (a crash, SIGKILL) are left to the display guardian.
static void RestoreDisplayAtExit() {
    PlatformWindow* window = NewestWindow();
    if (window != nullptr && window->Sdl != nullptr &&
        (SDL_GetWindowFlags(window->Sdl) & SDL_WINDOW_FULLSCREEN) != 0) {
        SDL_SetWindowFullscreen(window->Sdl, 0);
    }
}

// Only an X display keeps a changed mode after its client is gone.
static bool X11Video() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "x11") == 0;
}

// The X window under an SDL window; 0 when there is none.
static std::uint64_t X11WindowOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.info.x11.window);
}

// Full screen in exactly the requested size, or nothing.
static LONG ApplyMode(PlatformWindow* window) {
    if (window->Sdl == nullptr) {
        return DISP_CHANGE_SUCCESSFUL;
    }
    int display = SDL_GetWindowDisplayIndex(window->Sdl);
    if (display < 0) {
        display = 0;
    }
    const ModePath path =
        ChooseModePath(ReadDisplayFacts(window->Sdl, RequestedMode.w, RequestedMode.h));
    if (path == ModePath::Letterbox) {
        if (!BeginLetterbox(window, RequestedMode.w, RequestedMode.h)) {
            return DISP_CHANGE_FAILED;
        }
        if (!RestoreAtExitSet) {
            RestoreAtExitSet = std::atexit(RestoreDisplayAtExit) == 0;
        }
        return DISP_CHANGE_SUCCESSFUL;
    }
    SDL_DisplayMode closest = {};
    if (path == ModePath::Refuse ||
        SDL_GetClosestDisplayMode(display, &RequestedMode, &closest) == nullptr ||
        closest.w != RequestedMode.w || closest.h != RequestedMode.h) {
        SetPlatformFailure("ChangeDisplaySettingsA: the display has no mode of that size");
        return DISP_CHANGE_BADMODE;
    }
    // Also when the desktop already seems to have the size: it may be another show's mode,
    // and this show must then hold the display's first layout too.
    if (X11Video()) {
        StartDisplayGuard(closest.w, closest.h, X11WindowOf(window->Sdl));
    }
    if (SDL_SetWindowDisplayMode(window->Sdl, &closest) != 0 ||
        SDL_SetWindowFullscreen(window->Sdl, SDL_WINDOW_FULLSCREEN) != 0) {
        SetPlatformFailure(SDL_GetError());
        return DISP_CHANGE_FAILED;
    }
    if (!RestoreAtExitSet) {
        RestoreAtExitSet = std::atexit(RestoreDisplayAtExit) == 0;
    }
    return DISP_CHANGE_SUCCESSFUL;
}

void ApplyDisplayModeToNewWindow(PlatformWindow* window) {
    if (ModeRequested) {
        ApplyMode(window);
    }
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    ObservePlatformCall("ChangeDisplaySettingsA");
    if (mode == nullptr) {
        // Back to the stored mode: the window leaves full screen.
        ModeRequested = false;
        PlatformWindow* window = NewestWindow();
        if (window != nullptr) {
            EndLetterbox(window);
        }
        if (window != nullptr && window->Sdl != nullptr &&
            (SDL_GetWindowFlags(window->Sdl) & SDL_WINDOW_FULLSCREEN) != 0 &&
            SDL_SetWindowFullscreen(window->Sdl, 0) != 0) {
            SetPlatformFailure(SDL_GetError());
            return DISP_CHANGE_FAILED;
        }
        StopDisplayGuard();
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (mode->dmSize != sizeof(DEVMODEA)) {
        SetPlatformFailure("ChangeDisplaySettingsA: bad record size");
        return DISP_CHANGE_BADPARAM;
    }
    if ((flags & ~CDS_FULLSCREEN) != 0) {
        SetPlatformFailure("ChangeDisplaySettingsA: only CDS_FULLSCREEN is supported");
        return DISP_CHANGE_BADFLAGS;
    }
    const DWORD sizeFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    if ((mode->dmFields & sizeFields) != sizeFields || mode->dmPelsWidth == 0 ||
        mode->dmPelsHeight == 0 || mode->dmPelsWidth > 16384 || mode->dmPelsHeight > 16384) {
        SetPlatformFailure("ChangeDisplaySettingsA: no usable size in the mode");
        return DISP_CHANGE_BADMODE;
    }
    RequestedMode = SDL_DisplayMode{};
    RequestedMode.w = static_cast<int>(mode->dmPelsWidth);
    RequestedMode.h = static_cast<int>(mode->dmPelsHeight);
    ModeRequested = true;
    PlatformWindow* window = NewestWindow();
    if (window == nullptr) {
        return DISP_CHANGE_SUCCESSFUL;
    }
    const LONG result = ApplyMode(window);
    if (result != DISP_CHANGE_SUCCESSFUL) {
        ModeRequested = false;
    }
    return result;
}
