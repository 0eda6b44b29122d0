// What the Win32-shaped handles point at in the web back end. Nothing outside
// platform/web/ includes this.
#pragma once

#include <string>

#include "platform/Win32.h"

struct PlatformDeviceContext {
    PlatformWindow* Window = nullptr;
    bool FormatChosen = false;
    bool FormatBound = false;
};

struct PlatformWindow {
    WNDPROC Procedure = nullptr;
    std::string Title;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0;
    int Y = 0;
    // The canvas's size in its own pixels.
    int Width = 0;
    int Height = 0;
    bool Visible = false;
    PlatformDeviceContext OwnDc;
};

struct PlatformGlContext {
    PlatformWindow* Window = nullptr;
    int WebGl = 0;
};

bool IsLiveWindow(HWND window);
PlatformWindow* WindowFromDc(HDC dc);
void DetachContextsFromWindow(PlatformWindow* window);
