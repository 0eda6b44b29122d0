// Window classes, the window and the message queue of the web back end. The window is
// the page's canvas; the page queues its key and size events, which become messages
// here, behind anything posted. The quit message is a flag delivered once the queue is
// empty, as on Win32; sent messages call the window procedure at once.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/Win32.h"
#include "platform/web/Objects.h"
#include "platform/web/WebGl.h"

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
static std::string FailureReason;
static PlatformCallObserver CallObserver = nullptr;

// The page's next event: 1 key down, 2 key up, 3 a new canvas size; 0 when none waits.
EM_JS(int, web_next_event, (int* a, int* b), {
    const events = Module.larkspurEvents;
    if (!events || events.length == 0) {
        return 0;
    }
    const e = events.shift();
    HEAP32[a >> 2] = e.a;
    HEAP32[b >> 2] = e.b;
    return e.type;
});

EM_JS(int, web_canvas_width, (), { return Module.canvas ? Module.canvas.width : 640; });
EM_JS(int, web_canvas_height, (), { return Module.canvas ? Module.canvas.height : 480; });

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
    if (CallObserver != nullptr) {
        CallObserver(call);
    }
}

bool IsLiveWindow(HWND window) {
    return window != nullptr &&
           std::any_of(Windows.begin(), Windows.end(),
                       [window](const auto& live) { return live.get() == window; });
}

PlatformWindow* WindowFromDc(HDC dc) {
    for (const auto& window : Windows) {
        if (&window->OwnDc == dc) {
            return window.get();
        }
    }
    return nullptr;
}

static PlatformWindow* NewestWindow() {
    return Windows.empty() ? nullptr : Windows.back().get();
}

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

// Win32's DestroyWindow, for a window's default close and a creation the procedure
// refuses; the show itself never destroys its window.
static BOOL DestroyWindow(HWND window) {
    ObservePlatformCall("DestroyWindow");
    if (!IsLiveWindow(window)) {
        SetPlatformFailure("DestroyWindow: invalid window handle");
        return FALSE;
    }
    window->Procedure(window, WM_DESTROY, 0, 0);
    const auto found = std::find_if(Windows.begin(), Windows.end(),
                                    [window](const auto& live) { return live.get() == window; });
    if (found == Windows.end()) {
        return TRUE;
    }
    DetachContextsFromWindow(window);
    std::erase_if(Queue, [window](const MSG& msg) { return msg.hwnd == window; });
    Windows.erase(found);
    return TRUE;
}

// The page has one canvas: the window is drawn on it at the canvas's own size (the
// page keeps it 4:3 at the screen's resolution), which the procedure is told.
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU, HINSTANCE, void*) {
    ObservePlatformCall("CreateWindowExA");
    const auto known = std::find_if(Classes.begin(), Classes.end(), [className](const auto& c) {
        return className != nullptr && c.Name == className;
    });
    if (known == Classes.end()) {
        SetPlatformFailure("CreateWindowExA: class not registered");
        return nullptr;
    }
    if ((parent != nullptr && !IsLiveWindow(parent)) || width < 0 || height < 0) {
        SetPlatformFailure("CreateWindowExA: invalid parameter");
        return nullptr;
    }
    if (!Windows.empty()) {
        SetPlatformFailure("CreateWindowExA: the page has one canvas, and it has a window");
        return nullptr;
    }
    auto window = std::make_unique<PlatformWindow>();
    window->Procedure = known->Record.lpfnWndProc;
    window->Title = windowName != nullptr ? windowName : "";
    window->Style = style;
    window->ExStyle = exStyle;
    window->X = x;
    window->Y = y;
    window->Width = web_canvas_width();
    window->Height = web_canvas_height();
    window->OwnDc.Window = window.get();
    PlatformWindow* handle = window.get();
    Windows.push_back(std::move(window));
    if (handle->Procedure(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        SetPlatformFailure("CreateWindowExA: the window procedure refused WM_CREATE");
        return nullptr;
    }
    if (!IsLiveWindow(handle)) {
        return nullptr;
    }
    handle->Procedure(
        handle, WM_SIZE, 0,
        MAKELPARAM(static_cast<unsigned>(handle->Width), static_cast<unsigned>(handle->Height)));
    return IsLiveWindow(handle) ? handle : nullptr;
}

BOOL ShowWindow(HWND window, int) {
    ObservePlatformCall("ShowWindow");
    if (!IsLiveWindow(window)) {
        SetPlatformFailure("ShowWindow: invalid window handle");
        return FALSE;
    }
    const BOOL wasVisible = window->Visible ? TRUE : FALSE;
    window->Visible = true;
    return wasVisible;
}

BOOL UpdateWindow(HWND window) {
    ObservePlatformCall("UpdateWindow");
    if (!IsLiveWindow(window)) {
        SetPlatformFailure("UpdateWindow: invalid window handle");
        return FALSE;
    }
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
    // The page's keys all go to its one window.
    if (window != nullptr) {
        window->Procedure(window, WM_SETFOCUS, 0, 0);
    }
    return nullptr;
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

// Moves the page's waiting events into the queue as messages.
static void PumpPageEvents() {
    PlatformWindow* target = NewestWindow();
    int a = 0;
    int b = 0;
    for (int type; (type = web_next_event(&a, &b)) != 0;) {
        if (target == nullptr) {
            continue;
        }
        MSG msg = {};
        msg.hwnd = target;
        if (type == 3) {
            target->Width = a;
            target->Height = b;
            msg.message = WM_SIZE;
            msg.lParam = MAKELPARAM(static_cast<unsigned>(a), static_cast<unsigned>(b));
        } else if (a > 0 && a < 256) {
            const bool down = type == 1;
            msg.message = down ? WM_KEYDOWN : WM_KEYUP;
            msg.wParam = static_cast<WPARAM>(a);
            // Repeat count 1, previous state (a repeat, or any release), transition.
            std::uint32_t bits = 1u;
            if (!down || b != 0) {
                bits |= 1u << 30;
            }
            if (!down) {
                bits |= 1u << 31;
            }
            msg.lParam = static_cast<LPARAM>(static_cast<std::int32_t>(bits));
        } else {
            continue;
        }
        Queue.push_back(msg);
    }
}

static bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
    if (window != nullptr && msg.hwnd != window) {
        return false;
    }
    return (filterMin == 0 && filterMax == 0) ||
           (msg.message >= filterMin && msg.message <= filterMax);
}

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
    PumpPageEvents();
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
        PumpPageEvents();
        if (TakeMessage(msg, window, filterMin, filterMax, true)) {
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        // The page's events arrive only while the browser has control.
        WaitForAnimationFrame();
    }
}

BOOL TranslateMessage(const MSG* msg) {
    ObservePlatformCall("TranslateMessage");
    return msg != nullptr && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE
                                                                                           : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    ObservePlatformCall("DispatchMessageA");
    if (msg == nullptr || !IsLiveWindow(msg->hwnd)) {
        return 0;
    }
    return msg->hwnd->Procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ObservePlatformCall("SendMessageA");
    if (!IsLiveWindow(window)) {
        SetPlatformFailure("SendMessageA: invalid window handle");
        return 0;
    }
    return window->Procedure(window, message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ObservePlatformCall("PostMessageA");
    if (window != nullptr && !IsLiveWindow(window)) {
        SetPlatformFailure("PostMessageA: invalid window handle");
        return FALSE;
    }
    MSG msg = {};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    Queue.push_back(msg);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    ObservePlatformCall("PostQuitMessage");
    QuitPending = true;
    QuitCode = exitCode;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    ObservePlatformCall("DefWindowProcA");
    if (IsLiveWindow(window) && message == WM_CLOSE) {
        DestroyWindow(window);
    }
    return 0;
}
