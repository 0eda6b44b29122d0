// Start-up, the main loop and shutdown.
#pragma once

#include "platform/Win32.h"

// The show's window, and the display mode while it runs.
constexpr int ShowWindowWidth = 640;
constexpr int ShowWindowHeight = 480;
// The sound output's mix rate, in frames per second.
constexpr int ShowMixRate = 44100;

// The show; returns 0 after Escape or a close, 1 after a start-up failure box.
int RunShow(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine,
            int showCommand);

// The show window's class ("OpenGL WinClass", with ShowWindowProc) and the borderless
// 640 x 480 window itself, whose creation sets up the GL context and the scene. Shared
// by the live show and the recorder so both open exactly the same window.
ATOM RegisterShowWindowClass(HINSTANCE instance);
HWND CreateShowWindow(HINSTANCE instance);

// Measurement seam of the measured build (larkspur-measured, for tests and
// benchmarks): called as each frame starts drawing and once it is on screen. The
// shipped show sets none, and so reads no clock for it.
struct FrameObserver {
    void (*Started)() = nullptr;
    void (*Shown)() = nullptr;
};
void SetFrameObserver(FrameObserver observer);

// The message loop of RunShow: messages first, a frame on every idle pass, Escape sends
// the close. Returns the quit message's exit code once it has been taken.
int RunMessageLoop(HWND window);
