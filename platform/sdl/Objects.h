// What the Win32-shaped handles point at, shared by the files of the platform layer.
// Nothing outside platform/sdl/ includes this.
#pragma once

#include <deque>
#include <string>

#include "platform/Win32.h"

struct SDL_Window;

struct PlatformDeviceContext {
    PlatformWindow* Window = nullptr;
    // 0 until ChoosePixelFormat has found a format for this device.
    int ChosenFormat = 0;
    PIXELFORMATDESCRIPTOR ChosenRequest = {};
    // The format bound by SetPixelFormat; it binds once, as on Win32.
    int BoundFormat = 0;
};

struct PlatformWindow {
    WNDPROC Procedure = nullptr;
    std::string ClassName;
    std::string Title;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HINSTANCE Instance = nullptr;
    bool Visible = false;
    // Made when the pixel format is bound (with OpenGL) or, failing that, when the
    // window is first shown (without).
    SDL_Window* Sdl = nullptr;
    // The class asks for its own device context; it lives as long as the window.
    PlatformDeviceContext OwnDc;
    bool DcTaken = false;
    // Full screen at the screen's own size, the picture in its centre (sdl/DisplayPath.h);
    // the procedure is told the picture's size as the window's.
    bool Letterboxed = false;
    int PictureWidth = 0;
    int PictureHeight = 0;
};

struct PlatformGlContext {
    PlatformWindow* Window = nullptr;
    void* Sdl = nullptr;
};

// Every window still alive, oldest first; a handle not in here is stale.
bool IsLiveWindow(HWND window);
PlatformWindow* WindowFromSdlId(unsigned sdlWindowId);
// The live window whose own device context this is, or null.
PlatformWindow* WindowFromDc(HDC dc);
// The most recently created live window, or null.
PlatformWindow* NewestWindow();

// Brings up SDL's video subsystem once; false (with the reason recorded) when there is
// no display to talk to, or its server has not answered within ten seconds.
bool EnsureSdlVideo();
// SDL_InitSubSystem(SDL_INIT_VIDEO), given up after limitMs; false with SDL's reason or
// ours. Once a start has been given up, every later one fails at once (VideoStart.cpp).
bool StartSdlVideoWithin(int limitMs, std::string* failure);
// Whether a display server was found that never answers: no box can be shown on it.
bool DisplayNeverAnswered();

// Whether a window exists now to take requests to end as a close (EndRequests.cpp), and
// the request that came in since the last call, if any.
void HeedEndRequests(bool heeded);
bool TakeEndRequest();
// Makes the window's SDL window now if it has none, with or without OpenGL.
bool EnsureSdlWindow(PlatformWindow* window, bool withOpenGl);

// Contexts made for a window that is being destroyed lose their window.
void DetachContextsFromWindow(PlatformWindow* window);

// Applies the display mode requested by ChangeDisplaySettingsA to a window whose SDL
// window has just been made.
void ApplyDisplayModeToNewWindow(PlatformWindow* window);

// Records why the last platform call failed (SDL's text or our own).
void SetPlatformFailure(const std::string& reason);
// Starts a call of the layer: forgets the last call's failure and tells the call
// observer (if a test set one) which call is running.
void ObservePlatformCall(const char* call);
