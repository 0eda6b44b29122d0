// The show window's procedure and the values it owns.
#pragma once

#include <cstdint>

#include "platform/Win32.h"

extern std::int32_t Keys[256];
extern HDC WindowDC;
extern HGLRC RenderContext;
extern const PIXELFORMATDESCRIPTOR ShowPixelFormat;

LRESULT ShowWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
