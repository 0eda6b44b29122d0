// Window classes, windows and the message queue of the Win32-shaped layer over SDL2.
//
// One thread, one queue: SDL events are translated into messages (Messages.cpp)
// and queued behind anything posted; the quit message is a flag that is delivered once
// the queue is empty, as on Win32. Sent messages call the window procedure at once.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Win32.h"
#include "platform/sdl/DisplayPath.h"
#include "platform/sdl/Messages.h"
#include "platform/sdl/Objects.h"

struct PlatformInstance {
    int Unused = 0;
};
struct PlatformCursor {
    int Unused = 0;
};

static PlatformInstance ProgramInstance;
static PlatformCursor ArrowCursor;

struct RegisteredClass {
    WNDCLASSA Record;
    std::string Name;
};

static std::vector<RegisteredClass> Classes;
static std::vector<std::unique_ptr<PlatformWindow>> Windows;
static std::deque<MSG> Queue;
static bool QuitPending = false;
static int QuitCode = 0;
static bool SdlVideoUp = false;
// The window that SetFocus gave the keyboard to.
static HWND FocusWindow = nullptr;
static std::string FailureReason;
static PlatformCallObserver CallObserver = nullptr;

// --- Diagnostics ---

void SetPlatformFailure(const std::string& reason) {
    FailureReason = reason;
}

const char* PlatformFailureReason() {
    return FailureReason.c_str();
}

void SetPlatformCallObserver(PlatformCallObserver observer) {
    CallObserver = observer;
}

void ObservePlatformCall(const char* call) {
    // A reason is only ever the running call's: a stale one would explain the wrong failure.
    FailureReason.clear();
    if (CallObserver != nullptr) {
        CallObserver(call);
    }
}

// --- Shared with the other files of the layer ---

bool IsLiveWindow(HWND window) {
    if (window == nullptr) {
        return false;
    }
    return std::any_of(Windows.begin(), Windows.end(),
                       [window](const auto& live) { return live.get() == window; });
}

PlatformWindow* WindowFromSdlId(unsigned sdlWindowId) {
    for (const auto& window : Windows) {
        if (window->Sdl != nullptr && SDL_GetWindowID(window->Sdl) == sdlWindowId) {
            return window.get();
        }
    }
    return nullptr;
}

PlatformWindow* WindowFromDc(HDC dc) {
    for (const auto& window : Windows) {
        if (&window->OwnDc == dc) {
            return window.get();
        }
    }
    return nullptr;
}

PlatformWindow* NewestWindow() {
    return Windows.empty() ? nullptr : Windows.back().get();
}

// Whether the video driver hint (or SDL_VIDEODRIVER, which SDL reports through it)
// names this driver; the hint may be a comma-separated list.
static bool DriverAskedFor(const char* driver) {
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (asked == nullptr) {
        return false;
    }
    const std::size_t length = std::strlen(driver);
    for (const char* entry = asked; *entry != '\0';) {
        const char* end = std::strchr(entry, ',');
        const std::size_t entryLength =
            end != nullptr ? static_cast<std::size_t>(end - entry) : std::strlen(entry);
        if (entryLength == length && SDL_strncasecmp(entry, driver, length) == 0) {
            return true;
        }
        entry += entryLength + (end != nullptr ? 1 : 0);
    }
    return false;
}

// SDL falls back to drawing into memory when it finds no display; a show nobody can see
// is a failure to open the window, unless that driver was asked for by name (tests, the
// recorder).
static bool UsableVideoDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
        return false;
    }
    const bool headless =
        std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
    return !headless || DriverAskedFor(driver);
}

// A display server that has not answered by then never will.
static constexpr int VideoStartLimitMs = 10000;

bool EnsureSdlVideo() {
    if (SdlVideoUp) {
        return true;
    }
    // The quit event then comes only from a signal, not from closing the last window:
    // closing is a WM_CLOSE the window procedure decides about.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The show is a full-screen piece; do not let the desktop blank the display under it.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    // On Wayland SDL would draw the frame of a bordered window through libdecor, whose
    // plugins few systems have; without them it says so on standard error and draws
    // nothing. The show's window has no border, so xdg-shell alone serves.
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    std::string failure;
    if (!StartSdlVideoWithin(VideoStartLimitMs, &failure)) {
        SetPlatformFailure(failure);
        return false;
    }
    if (!UsableVideoDriver()) {
        SetPlatformFailure("no display to show the window on");
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    SdlVideoUp = true;
    return true;
}

// --- Window classes ---

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    ObservePlatformCall("RegisterClassA");
    if (windowClass == nullptr || windowClass->lpfnWndProc == nullptr ||
        windowClass->lpszClassName == nullptr || windowClass->lpszClassName[0] == '\0') {
        SetPlatformFailure("RegisterClassA: incomplete class record");
        return 0;
    }
    for (const auto& known : Classes) {
        if (known.Name == windowClass->lpszClassName) {
            SetPlatformFailure("RegisterClassA: class already exists");
            return 0;
        }
    }
    Classes.push_back(RegisteredClass{*windowClass, windowClass->lpszClassName});
    Classes.back().Record.lpszClassName = Classes.back().Name.c_str();
    return static_cast<ATOM>(0xC000 + Classes.size() - 1);
}

BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* windowClass) {
    ObservePlatformCall("GetClassInfoA");
    const auto known = std::find_if(Classes.begin(), Classes.end(), [&](const auto& c) {
        return className != nullptr && c.Name == className && c.Record.hInstance == instance;
    });
    if (known == Classes.end() || windowClass == nullptr) {
        SetPlatformFailure("GetClassInfoA: no such class");
        return FALSE;
    }
    *windowClass = known->Record;
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* cursorName) {
    ObservePlatformCall("LoadCursorA");
    // Only the system cursors exist; the arrow is the one the show asks for.
    if (instance == nullptr && cursorName == IDC_ARROW) {
        return &ArrowCursor;
    }
    SetPlatformFailure("LoadCursorA: no such cursor");
    return nullptr;
}

HINSTANCE GetModuleHandleA(const char* moduleName) {
    ObservePlatformCall("GetModuleHandleA");
    return moduleName == nullptr ? &ProgramInstance : nullptr;
}

// --- Windows ---

// Win32's DestroyWindow, for a window's default close and a creation the procedure
// refused: WM_DESTROY to the procedure, then the window is freed and its handle stale.
static void EndWindow(HWND window) {
    if (!IsLiveWindow(window)) {
        return;
    }
    window->Procedure(window, WM_DESTROY, 0, 0);
    const auto found = std::find_if(Windows.begin(), Windows.end(),
                                    [window](const auto& live) { return live.get() == window; });
    if (found == Windows.end()) {
        return;
    }
    DetachContextsFromWindow(window);
    if ((*found)->Sdl != nullptr) {
        SDL_DestroyWindow((*found)->Sdl);
    }
    // Messages still queued for it would point at freed memory.
    std::erase_if(Queue, [window](const MSG& msg) { return msg.hwnd == window; });
    Windows.erase(found);
    if (Windows.empty()) {
        HeedEndRequests(false);
    }
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU, HINSTANCE instance,
                     void*) {
    ObservePlatformCall("CreateWindowExA");
    if (className == nullptr) {
        SetPlatformFailure("CreateWindowExA: no class");
        return nullptr;
    }
    const auto known = std::find_if(Classes.begin(), Classes.end(),
                                    [className](const auto& c) { return c.Name == className; });
    if (known == Classes.end()) {
        SetPlatformFailure("CreateWindowExA: class not registered");
        return nullptr;
    }
    if (parent != nullptr && !IsLiveWindow(parent)) {
        SetPlatformFailure("CreateWindowExA: parent window is gone");
        return nullptr;
    }
    if (width < 0 || height < 0 || width > 16384 || height > 16384) {
        SetPlatformFailure("CreateWindowExA: size out of range");
        return nullptr;
    }
    if (!EnsureSdlVideo()) {
        return nullptr;
    }
    auto window = std::make_unique<PlatformWindow>();
    window->Procedure = known->Record.lpfnWndProc;
    window->ClassName = known->Name;
    window->Title = windowName != nullptr ? windowName : "";
    window->Style = style;
    window->ExStyle = exStyle;
    window->X = x;
    window->Y = y;
    window->Width = width;
    window->Height = height;
    window->Instance = instance;
    window->OwnDc.Window = window.get();
    PlatformWindow* handle = window.get();
    Windows.push_back(std::move(window));
    // From now on a request to end can be a close: the message loop comes next.
    HeedEndRequests(true);

    if (handle->Procedure(handle, WM_CREATE, 0, 0) == -1) {
        EndWindow(handle);
        SetPlatformFailure("CreateWindowExA: the window procedure refused WM_CREATE");
        return nullptr;
    }
    if (!IsLiveWindow(handle)) {
        return nullptr;
    }
    handle->Procedure(handle, WM_SIZE, 0,
                      MAKELPARAM(static_cast<unsigned>(width), static_cast<unsigned>(height)));
    return IsLiveWindow(handle) ? handle : nullptr;
}

BOOL ShowWindow(HWND window, int) {
    ObservePlatformCall("ShowWindow");
    if (!IsLiveWindow(window)) {
        SetPlatformFailure("ShowWindow: invalid window handle");
        return FALSE;
    }
    const BOOL wasVisible = window->Visible ? TRUE : FALSE;
    if (!EnsureSdlWindow(window, false)) {
        return wasVisible;
    }
    SDL_ShowWindow(window->Sdl);
    window->Visible = true;
    // Showing activates the window: with nothing else focused, the keyboard is its.
    if (!IsLiveWindow(FocusWindow)) {
        FocusWindow = window;
    }
    return wasVisible;
}

BOOL UpdateWindow(HWND window) {
    ObservePlatformCall("UpdateWindow");
    if (!IsLiveWindow(window)) {
        SetPlatformFailure("UpdateWindow: invalid window handle");
        return FALSE;
    }
    // A window just shown is wholly invalid: it gets its paint now, not from the queue.
    if (window->Visible) {
        window->Procedure(window, WM_PAINT, 0, 0);
    }
    return TRUE;
}

HWND SetFocus(HWND window) {
    ObservePlatformCall("SetFocus");
    if (window != nullptr && !IsLiveWindow(window)) {
        SetPlatformFailure("SetFocus: invalid window handle");
        return nullptr;
    }
    HWND previous = IsLiveWindow(FocusWindow) ? FocusWindow : nullptr;
    FocusWindow = window;
    if (window == nullptr) {
        return previous;
    }
    if (window->Sdl != nullptr && window->Visible) {
        SDL_RaiseWindow(window->Sdl);
        if (SDL_SetWindowInputFocus(window->Sdl) != 0) {
            SetPlatformFailure(SDL_GetError());
        }
    }
    window->Procedure(window, WM_SETFOCUS, 0, 0);
    return previous;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    ObservePlatformCall("GetClientRect");
    if (!IsLiveWindow(window) || rect == nullptr) {
        SetPlatformFailure("GetClientRect: invalid window handle");
        return FALSE;
    }
    *rect = RECT{0, 0, window->Width, window->Height};
    return TRUE;
}

// --- The message queue ---

// Moves every SDL event that is waiting into the queue as messages.
static void PumpSdlEvents() {
    // A signal's request to end takes the path of a close from the desktop.
    if (TakeEndRequest() && NewestWindow() != nullptr) {
        MSG close = {};
        close.hwnd = NewestWindow();
        close.message = WM_CLOSE;
        close.time = SDL_GetTicks();
        Queue.push_back(close);
    }
    if (!SdlVideoUp) {
        return;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        PlatformWindow* target = nullptr;
        if (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) {
            // SDL takes a moment to believe the window has the keyboard and reports no
            // window until then; the keys belong to the window given the focus.
            target = WindowFromSdlId(event.key.windowID);
            if (target == nullptr && event.key.windowID == 0 && IsLiveWindow(FocusWindow)) {
                target = FocusWindow;
            }
        } else if (event.type == SDL_WINDOWEVENT) {
            target = WindowFromSdlId(event.window.windowID);
        } else if (event.type == SDL_QUIT) {
            target = NewestWindow();
        }
        MSG msg;
        if (target != nullptr && TranslateSdlEvent(event, target, &msg)) {
            if (msg.message == WM_SIZE && target->Letterboxed) {
                // The show's window is its picture, whatever the screen's size.
                msg.lParam = MAKELPARAM(static_cast<unsigned>(target->PictureWidth),
                                        static_cast<unsigned>(target->PictureHeight));
            }
            if (msg.message == WM_SIZE) {
                target->Width = static_cast<int>(LOWORD(static_cast<std::uintptr_t>(msg.lParam)));
                target->Height = static_cast<int>(HIWORD(static_cast<std::uintptr_t>(msg.lParam)));
            }
            Queue.push_back(msg);
        }
    }
}

static bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && msg.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) {
        return true;
    }
    return msg.message >= filterMin && msg.message <= filterMax;
}

// Takes (or copies) the first message that passes the filters; the quit message only
// when nothing else is waiting.
static bool TakeMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    const auto found = std::find_if(Queue.begin(), Queue.end(), [&](const MSG& queued) {
        return Matches(queued, window, filterMin, filterMax);
    });
    if (found != Queue.end()) {
        *msg = *found;
        if (remove) {
            Queue.erase(found);
        }
        return true;
    }
    if (QuitPending && window == nullptr &&
        ((filterMin == 0 && filterMax == 0) || (WM_QUIT >= filterMin && WM_QUIT <= filterMax))) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(QuitCode);
        if (remove) {
            QuitPending = false;
        }
        return true;
    }
    return false;
}

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
    ObservePlatformCall("PeekMessageA");
    if (msg == nullptr) {
        return FALSE;
    }
    PumpSdlEvents();
    return TakeMessage(msg, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0) ? TRUE
                                                                                            : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
    ObservePlatformCall("GetMessageA");
    if (msg == nullptr || (window != nullptr && !IsLiveWindow(window))) {
        SetPlatformFailure("GetMessageA: invalid parameter");
        return -1;
    }
    for (;;) {
        PumpSdlEvents();
        if (TakeMessage(msg, window, filterMin, filterMax, true)) {
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        // Nothing could ever arrive without a display to listen to.
        if (!SdlVideoUp || SDL_WaitEvent(nullptr) == 0) {
            SetPlatformFailure(SdlVideoUp ? SDL_GetError() : "GetMessageA: nothing to wait for");
            return -1;
        }
    }
}

BOOL TranslateMessage(const MSG* msg) {
    ObservePlatformCall("TranslateMessage");
    // No character messages are made: the show reads key codes only.
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE
                                                                                           : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    ObservePlatformCall("DispatchMessageA");
    if (msg == nullptr || !IsLiveWindow(msg->hwnd)) {
        return 0;
    }
    const LRESULT result = msg->hwnd->Procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    if (msg->message == WM_SIZE && IsLiveWindow(msg->hwnd)) {
        KeepPictureViewport(msg->hwnd);
    }
    return result;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ObservePlatformCall("SendMessageA");
    if (!IsLiveWindow(window)) {
        SetPlatformFailure("SendMessageA: invalid window handle");
        return 0;
    }
    const LRESULT result = window->Procedure(window, message, wParam, lParam);
    if (message == WM_SIZE && IsLiveWindow(window)) {
        KeepPictureViewport(window);
    }
    return result;
}

void PostQuitMessage(int exitCode) {
    ObservePlatformCall("PostQuitMessage");
    QuitPending = true;
    QuitCode = exitCode;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    ObservePlatformCall("DefWindowProcA");
    if (!IsLiveWindow(window)) {
        return 0;
    }
    // Closing destroys the window unless the procedure handles WM_CLOSE itself.
    if (message == WM_CLOSE) {
        EndWindow(window);
    }
    return 0;
}
