// The show window's procedure: its rendering context, the projection's size, the key
// flags, and the release of everything the window holds when it is closed.
#include "app/ShowWindow.h"

#include "app/Scene.h"

std::int32_t Keys[256] = {};
HDC WindowDC = nullptr;
HGLRC RenderContext = nullptr;

// A double-buffered RGBA window format with 16 colour and 16 depth bits; no alpha,
// accumulation, stencil or auxiliary buffers.
const PIXELFORMATDESCRIPTOR ShowPixelFormat = {
    .nSize = sizeof(PIXELFORMATDESCRIPTOR),
    .nVersion = 1,
    .dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,
    .iPixelType = PFD_TYPE_RGBA,
    .cColorBits = 16,
    .cRedBits = 0,
    .cRedShift = 0,
    .cGreenBits = 0,
    .cGreenShift = 0,
    .cBlueBits = 0,
    .cBlueShift = 0,
    .cAlphaBits = 0,
    .cAlphaShift = 0,
    .cAccumBits = 0,
    .cAccumRedBits = 0,
    .cAccumGreenBits = 0,
    .cAccumBlueBits = 0,
    .cAccumAlphaBits = 0,
    .cDepthBits = 16,
    .cStencilBits = 0,
    .cAuxBuffers = 0,
    .iLayerType = PFD_MAIN_PLANE,
    .bReserved = 0,
    .dwLayerMask = 0,
    .dwVisibleMask = 0,
    .dwDamageMask = 0,
};

// The exit code the quit message carries: a start that failed must not end as a success,
// even when a close comes after the failure.
static int QuitCode = 0;

// Shows why the context could not be made and ends the show through the quit message.
static LRESULT FailCreate(const char* text) {
    MessageBoxA(nullptr, text, "Error", MB_OK | MB_ICONERROR);
    QuitCode = 1;
    PostQuitMessage(QuitCode);
    return 0;
}

static LRESULT CreateRenderContext(HWND window) {
    WindowDC = GetDC(window);
    const int format = ChoosePixelFormat(WindowDC, &ShowPixelFormat);
    if (format == 0) {
        // The misspelling is the text the show has always shown; it stays as it is.
        return FailCreate("Cant't Find A Suitable PixelFormat.");
    }
    if (!SetPixelFormat(WindowDC, format, &ShowPixelFormat)) {
        return FailCreate("Can't Set The PixelFormat.");
    }
    RenderContext = wglCreateContext(WindowDC);
    if (RenderContext == nullptr) {
        return FailCreate("Can't Create A GL Rendering Context.");
    }
    if (!wglMakeCurrent(WindowDC, RenderContext)) {
        return FailCreate("Can't activate GLRC.");
    }
    RECT client = {};
    GetClientRect(window, &client);
    InitScene(client.right, client.bottom);
    return 0;
}

// Gives back the display mode, the context and the device context, and ends the loop.
// The handles are forgotten once given back, so a second close releases nothing twice.
static LRESULT ReleaseRenderContext(HWND window) {
    ChangeDisplaySettingsA(nullptr, 0);
    wglMakeCurrent(WindowDC, nullptr);
    if (RenderContext != nullptr) {
        wglDeleteContext(RenderContext);
        RenderContext = nullptr;
    }
    if (WindowDC != nullptr) {
        ReleaseDC(window, WindowDC);
        WindowDC = nullptr;
    }
    PostQuitMessage(QuitCode);
    return 0;
}

LRESULT ShowWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return CreateRenderContext(window);
    case WM_DESTROY:
    case WM_CLOSE:
        return ReleaseRenderContext(window);
    case WM_SIZE:
        // Nothing to size before the context exists, or after it is given back.
        if (RenderContext != nullptr) {
            ResizeScene(static_cast<int>(LOWORD(static_cast<std::uintptr_t>(lParam))),
                        static_cast<int>(HIWORD(static_cast<std::uintptr_t>(lParam))));
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam < 256) {
            Keys[wParam] = -1;
        }
        return 0;
    case WM_KEYUP:
        if (wParam < 256) {
            Keys[wParam] = 0;
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
