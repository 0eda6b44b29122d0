// Win32-shaped window, GDI and WGL calls over SDL2.
//
// The show's shell is written against the classic Win32 surface: a window class,
// a window procedure, a message queue polled with PeekMessage, a device context
// and a WGL rendering context. On Linux these calls are served by SDL2; the records
// and constants keep their Win32 values so the shell code reads as it would there.
// Each call below notes what it keeps of Win32 and what it drops. On Windows the same
// names are the system's own, so this header only brings in the system's headers.
#pragma once

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <GL/gl.h>
#include <GL/glu.h>

#else

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using ATOM = std::uint16_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Opaque handles. The platform layer owns what they point at.
struct PlatformWindow;
struct PlatformDeviceContext;
struct PlatformGlContext;
struct PlatformInstance;
struct PlatformCursor;
struct PlatformGdiObject;
struct PlatformModule;
using HWND = PlatformWindow*;
using HDC = PlatformDeviceContext*;
using HGLRC = PlatformGlContext*;
using HINSTANCE = PlatformInstance*;
using HCURSOR = PlatformCursor*;
using HICON = PlatformCursor*;
using HBRUSH = PlatformGdiObject*;
using HMENU = PlatformGdiObject*;
using HGDIOBJ = PlatformGdiObject*;
using HFONT = PlatformGdiObject*;
using HMODULE = PlatformModule*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_OWNDC = 0x0020;

// Window styles.
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000u;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000u;

// ShowWindow commands.
constexpr int SW_SHOW = 5;

// Messages.
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;

// PeekMessage options.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// Message box types and results.
constexpr UINT MB_OK = 0x00000000u;
constexpr UINT MB_ICONERROR = 0x00000010u;
constexpr int IDOK = 1;

// Display settings.
constexpr DWORD DM_PELSWIDTH = 0x00080000u;
constexpr DWORD DM_PELSHEIGHT = 0x00100000u;
constexpr DWORD CDS_FULLSCREEN = 0x00000004u;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;
constexpr LONG DISP_CHANGE_BADFLAGS = -4;
constexpr LONG DISP_CHANGE_BADPARAM = -5;

// Pixel format descriptor flags and types.
constexpr DWORD PFD_DOUBLEBUFFER = 0x00000001u;
constexpr DWORD PFD_DRAW_TO_WINDOW = 0x00000004u;
constexpr DWORD PFD_SUPPORT_OPENGL = 0x00000020u;
constexpr BYTE PFD_TYPE_RGBA = 0;
constexpr BYTE PFD_MAIN_PLANE = 0;

// Virtual-key codes the shell and its tests name.
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_F1 = 0x70;
constexpr int VK_F12 = 0x7B;

// LoadCursorA resource id of the standard arrow.
inline const char* const IDC_ARROW = reinterpret_cast<const char*>(std::uintptr_t{32512});

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

// The 156-byte display mode record, field for field (unions flattened to their
// display members).
struct DEVMODEA {
    char dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    LONG dmPositionX;
    LONG dmPositionY;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayFixedOutput;
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    char dmFormName[32];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};
static_assert(sizeof(DEVMODEA) == 156);
static_assert(offsetof(DEVMODEA, dmPelsWidth) == 108);

struct PIXELFORMATDESCRIPTOR {
    WORD nSize;
    WORD nVersion;
    DWORD dwFlags;
    BYTE iPixelType;
    BYTE cColorBits;
    BYTE cRedBits;
    BYTE cRedShift;
    BYTE cGreenBits;
    BYTE cGreenShift;
    BYTE cBlueBits;
    BYTE cBlueShift;
    BYTE cAlphaBits;
    BYTE cAlphaShift;
    BYTE cAccumBits;
    BYTE cAccumRedBits;
    BYTE cAccumGreenBits;
    BYTE cAccumBlueBits;
    BYTE cAccumAlphaBits;
    BYTE cDepthBits;
    BYTE cStencilBits;
    BYTE cAuxBuffers;
    BYTE iLayerType;
    BYTE bReserved;
    DWORD dwLayerMask;
    DWORD dwVisibleMask;
    DWORD dwDamageMask;
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);

// Packs the two 16-bit halves of a WM_SIZE parameter.
constexpr LPARAM MAKELPARAM(unsigned low, unsigned high) {
    return static_cast<LPARAM>((low & 0xFFFFu) | ((high & 0xFFFFu) << 16));
}
constexpr unsigned LOWORD(std::uintptr_t v) {
    return static_cast<unsigned>(v & 0xFFFFu);
}
constexpr unsigned HIWORD(std::uintptr_t v) {
    return static_cast<unsigned>((v >> 16) & 0xFFFFu);
}

// --- Windows and the message queue (sdl/Window.cpp) ---

// Keeps the record, unique names and atoms from 0xC000; drops class and window extra
// bytes, menus and backgrounds (the show's window is all OpenGL), and unregistering.
ATOM RegisterClassA(const WNDCLASSA* windowClass);
// Keeps the record a class was registered with (its name pointing at the layer's own
// copy); the show never calls it, the start-up tests read the show's class with it.
BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* windowClass);
// Keeps WM_CREATE, then WM_SIZE with the client size, sent to the class's procedure
// before it returns, and -1 from WM_CREATE failing the creation; drops the position and
// the styles' look (the window is borderless where SDL puts it), children, WM_NCCREATE
// and the creation parameter.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param);
// Keeps showing (the SDL window is made then if the pixel format has not made it),
// activation with the keyboard and the previous visibility as result; drops the
// command, which is always a show: the show asks for nothing else.
BOOL ShowWindow(HWND window, int command);
// Keeps one WM_PAINT sent at once to a visible window; drops update regions.
BOOL UpdateWindow(HWND window);
// Keeps the keyboard focus, the raise and WM_SETFOCUS; drops WM_KILLFOCUS to the window
// that loses it.
HWND SetFocus(HWND window);
// Keeps the size the window was made with or last got in WM_SIZE, at origin 0, 0.
BOOL GetClientRect(HWND window, RECT* rect);
// Keeps the system arrow (null instance, IDC_ARROW); drops every other cursor.
HCURSOR LoadCursorA(HINSTANCE instance, const char* cursorName);
// Keeps the window and range filters and PM_REMOVE, SDL events translated and queued
// first, and WM_QUIT only once nothing else waits; drops PM_NOYIELD and the QS_ flags.
BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage);
// Keeps the wait for the next message and 0 for WM_QUIT; -1 when nothing could ever
// arrive (no display).
BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
// Keeps its answer (TRUE for key-down messages); drops WM_CHAR and the other character
// messages: the show reads key codes only.
BOOL TranslateMessage(const MSG* msg);
// Keeps the call of the window's procedure; a WM_SIZE also keeps the letterboxed picture
// in place afterwards. Drops timers and messages without a window.
LRESULT DispatchMessageA(const MSG* msg);
// Keeps the synchronous call of the window procedure; drops other threads.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Keeps WM_QUIT with its exit code, taken once the queue is empty.
void PostQuitMessage(int exitCode);
// Keeps WM_CLOSE destroying the window (WM_DESTROY to the procedure, then the window is
// freed and its handle stale), the one way a window ends: the show's procedure handles
// WM_CLOSE itself, the loop tests end their windows so. Every other message is answered 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Keeps the running program's own instance (a null name); drops every other module.
HINSTANCE GetModuleHandleA(const char* moduleName);

// --- Message boxes (sdl/MessageBox.cpp) ---

// Keeps the caption, the text, one OK button and the error icon (MB_ICONERROR), and the
// wait until it is dismissed; drops the owner's modality, the other buttons and icons.
// Where no box can be shown (no display), writes caption and text to standard error
// instead, with the reason the call before it failed, so that no failure is ever silent.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// --- Display mode (sdl/Display.cpp) ---

// Keeps a size (DM_PELSWIDTH and DM_PELSHEIGHT) with CDS_FULLSCREEN, in force for the
// life of the window, and no mode giving back the mode stored in the system settings;
// drops colour depth, frequency, position and the other CDS_ flags (DISP_CHANGE_BADFLAGS).
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);

// --- Device context, pixel format and GL context (sdl/Gl.cpp) ---

// Keeps the window's own device context (CS_OWNDC); drops shared and class contexts.
HDC GetDC(HWND window);
// Keeps the check that the context is the window's; releasing it changes nothing else.
int ReleaseDC(HWND window, HDC dc);
// Keeps one offered format, RGBA, double-buffered, OpenGL in a window, and 0 where the
// display has no visual for the request; drops colour-index, bitmap and GDI formats.
int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* request);
// Keeps binding once per window (the SDL window is made with the format then); drops
// formats not chosen for that device context.
BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* request);
// Keeps a new context not made current; it is an OpenGL compatibility context: 1.1
// immediate mode, display lists, GLU. Drops sharing lists (wglShareLists).
HGLRC wglCreateContext(HDC dc);
// Keeps a null context making none current; drops other threads.
BOOL wglMakeCurrent(HDC dc, HGLRC context);
// Keeps deleting a current context (none is current then).
BOOL wglDeleteContext(HGLRC context);
// Keeps presenting the back buffer; offscreen, it also waits for the frame to finish.
BOOL SwapBuffers(HDC dc);

// --- Outline fonts (sdl/Fonts.cpp over fonts/) ---

constexpr int FW_BOLD = 700;
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD OUT_TT_PRECIS = 4;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD ANTIALIASED_QUALITY = 4;
constexpr int WGL_FONT_POLYGONS = 1;

struct POINTFLOAT {
    float x;
    float y;
};

struct GLYPHMETRICSFLOAT {
    float gmfBlackBoxX;
    float gmfBlackBoxY;
    POINTFLOAT gmfptGlyphOrigin;
    float gmfCellIncX;
    float gmfCellIncY;
};
static_assert(sizeof(GLYPHMETRICSFLOAT) == 24);

// Keeps the description: height, width, weight, italic, character set and face name,
// resolved to an installed face when outlines are built; drops escapement, orientation,
// underline, strike-out, precisions, quality, pitch and deleting the font.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outputPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName);
// Keeps fonts, selected per device context, and the object selected before as result;
// drops every other kind of object (null).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// Keeps WGL_FONT_POLYGONS: one display list per code first … first + count − 1, the
// glyph's filled front face, its back face `extrusion` behind along −z, side walls with
// outward normals, in units where the em height is 1, ending with a translation by the
// glyph's advance, and its metrics. A face that is not installed gives lists that draw
// nothing and FALSE. A `deviation` below FinestChordalDeviation (Win32Fonts.h), 0
// included, is taken as that. Drops line outlines (FALSE).
BOOL wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD listBase, float deviation,
                         float extrusion, int format, GLYPHMETRICSFLOAT* metrics);

// --- Run-time libraries (sdl/DynamicLibrary.cpp) ---

using FARPROC = void (*)();

// Keeps loading by name with one reference a call; a name with a folder is loaded as
// given, a bare name is looked up beside the executable and in the install's library
// directory, never in the working directory (drops the system's search path).
HMODULE LoadLibraryA(const char* fileName);
// Keeps the address of an entry by name, or null; drops entries by ordinal.
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Keeps releasing one reference; a null handle is accepted and does nothing.
BOOL FreeLibrary(HMODULE module);

// --- Diagnostics and test seams (sdl/Window.cpp) ---

// Why the last call of this layer failed (SDL's text or ours); empty when it did not.
// MessageBoxA's standard-error stand-in gives it after the text, and the recorder's errors
// end with it.
const char* PlatformFailureReason();
// Test seam: while set, each Win32-shaped call of this layer reports its name here as it
// starts ("SwapBuffers", "wglDeleteContext", ...). Null clears it.
using PlatformCallObserver = void (*)(const char* call);
void SetPlatformCallObserver(PlatformCallObserver observer);

#endif
