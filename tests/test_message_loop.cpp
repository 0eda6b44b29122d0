// The message loop and the window procedure on a real OpenGL context (offscreen), with
// the show clock held still: messages come before frames, every idle pass draws and
// presents a frame, Escape closes after one more frame, a close releases in order.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/RunShow.h"
#include "app/ShowWindow.h"
#include "audio/MusicPlayer.h"
#include "show/HaltProgram.h"

namespace {

struct Dispatched {
    UINT Message;
    WPARAM WParam;
    int FramesBefore;
};

std::vector<std::string> Calls;
std::vector<Dispatched> Seen;
int Frames = 0;
int FramesCleared = 0;
std::function<void(int)> OnFrame;

// Paints the back buffer red, so that only a frame drawn over it leaves it black.
void PaintBackBufferRed() {
    GLfloat clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
}

bool CentreIsRed() {
    GLubyte rgba[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(320, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return rgba[0] == 255 && rgba[1] == 0 && rgba[2] == 0;
}

void Observe(const char* call) {
    Calls.emplace_back(call);
    if (std::strcmp(call, "SwapBuffers") == 0) {
        // The frame is in the back buffer now: it must have been drawn over the red.
        if (!CentreIsRed()) {
            ++FramesCleared;
        }
        ++Frames;
        PaintBackBufferRed();
        if (OnFrame) {
            OnFrame(Frames);
        }
    }
}

// Queues what the platform would send the test window: a key going down or up, or a
// window event (an expose, a close request), through SDL's queue as real ones come.
void PushKey(SDL_Keycode key, SDL_Scancode code, bool down) {
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.type = event.type;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = code;
    event.key.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void PushWindowEvent(SDL_WindowEventID what) {
    SDL_Event event;
    std::memset(&event, 0, sizeof event);
    event.type = SDL_WINDOWEVENT;
    event.window.type = SDL_WINDOWEVENT;
    event.window.event = static_cast<Uint8>(what);
    event.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    ASSERT_EQ(SDL_PushEvent(&event), 1);
}

// The show's procedure, watched: every message it gets, and how many frames came before.
LRESULT WatchedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Seen.push_back(Dispatched{message, wParam, Frames});
    // The test window is destroyed by the test; its release already ran on close.
    if (message == WM_DESTROY) {
        return 0;
    }
    return ShowWindowProc(window, message, wParam, lParam);
}

class ShowLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA windowClass = {};
            windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
            windowClass.lpfnWndProc = WatchedProc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
            windowClass.lpszClassName = "Watched WinClass";
            ASSERT_NE(RegisterClassA(&windowClass), 0);
            registered = true;
        }
        SetShowTimeSource([] { return std::uint32_t{0}; });
        // A show that ended inside a test would otherwise end this program with status 0.
        SetHaltHandler([] { throw std::runtime_error("the show ended inside a test"); });
        std::memset(Keys, 0, sizeof Keys);
        Calls.clear();
        Seen.clear();
        Frames = 0;
        FramesCleared = 0;
        OnFrame = nullptr;
        Window = CreateWindowExA(0, "Watched WinClass", "Larkspur",
                                 WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 640, 480,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(Window, nullptr) << PlatformFailureReason();
        ASSERT_NE(RenderContext, nullptr) << PlatformFailureReason();
        PaintBackBufferRed();
        // Only the events a test queues reach its loop.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        SetPlatformCallObserver(Observe);
    }

    void TearDown() override {
        SetPlatformCallObserver(nullptr);
        OnFrame = nullptr;
        // The default close ends the window (its WM_DESTROY is the watcher's alone).
        if (Window != nullptr) {
            DefWindowProcA(Window, WM_CLOSE, 0, 0);
        }
        // Leave no quit message or key behind for the next test.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        std::memset(Keys, 0, sizeof Keys);
        SetShowTimeSource(nullptr);
        SetHaltHandler(nullptr);
    }

    std::vector<std::string> CallsFrom(const std::string& first) const {
        auto start = std::find(Calls.begin(), Calls.end(), first);
        std::vector<std::string> tail;
        for (; start != Calls.end(); ++start) {
            if (*start != "PeekMessageA" && *start != "GetMessageA" && *start != "DefWindowProcA") {
                tail.push_back(*start);
            }
        }
        return tail;
    }

    HWND Window = nullptr;
};

} // namespace

TEST_F(ShowLoop, CreationMakesTheContextThenSizesTheScene) {
    ASSERT_GE(Seen.size(), 2u);
    EXPECT_EQ(Seen[0].Message, WM_CREATE);
    EXPECT_EQ(Seen[1].Message, WM_SIZE);
    EXPECT_NE(WindowDC, nullptr);
    EXPECT_NE(SDL_GL_GetCurrentContext(), nullptr);
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
}

TEST_F(ShowLoop, MessagesFirstThenAFrameOnEveryIdlePass) {
    const std::size_t before = Seen.size();
    PushKey(SDLK_a, SDL_SCANCODE_A, true);
    PushKey(SDLK_a, SDL_SCANCODE_A, false);
    PushWindowEvent(SDL_WINDOWEVENT_EXPOSED);
    // Frames go on until a key goes down after the third; then one more frame is shown.
    OnFrame = [](int frame) {
        if (frame == 3) {
            PushKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
        }
    };
    RunMessageLoop(Window);

    ASSERT_GE(Seen.size(), before + 5);
    EXPECT_EQ(Seen[before].Message, WM_KEYDOWN);
    EXPECT_EQ(Seen[before + 1].Message, WM_KEYUP);
    EXPECT_EQ(Seen[before + 2].Message, WM_PAINT);
    for (std::size_t i = before; i < before + 3; ++i) {
        EXPECT_EQ(Seen[i].FramesBefore, 0) << "message " << i << " waited for a frame";
    }
    EXPECT_EQ(Seen[before + 3].Message, WM_KEYDOWN);
    EXPECT_EQ(Seen[before + 3].FramesBefore, 3);
    EXPECT_EQ(Seen[before + 4].Message, WM_CLOSE);
    EXPECT_EQ(Seen[before + 4].FramesBefore, 4);
    EXPECT_EQ(Frames, 4);
    EXPECT_EQ(FramesCleared, 4);
    // Idle passes alternate with frames: no pass found nothing and drew nothing.
    int peeksWithoutFrame = 0;
    for (std::size_t i = 1; i < Calls.size(); ++i) {
        if (Calls[i - 1] == "PeekMessageA" && Calls[i] == "PeekMessageA") {
            ++peeksWithoutFrame;
        }
    }
    EXPECT_EQ(peeksWithoutFrame, 0);
}

TEST_F(ShowLoop, CloseFromThePlatformReleasesInOrderAndDrawsNoMore) {
    OnFrame = [](int frame) {
        if (frame == 2) {
            Calls.emplace_back("close requested");
            PushWindowEvent(SDL_WINDOWEVENT_CLOSE);
        }
    };
    // A close after a good start is a success.
    EXPECT_EQ(RunMessageLoop(Window), 0);

    EXPECT_EQ(Frames, 2);
    const std::vector<std::string> expected = {
        "TranslateMessage", "DispatchMessageA", "ChangeDisplaySettingsA", "wglMakeCurrent",
        "wglDeleteContext", "ReleaseDC",        "PostQuitMessage"};
    std::vector<std::string> afterClose = CallsFrom("close requested");
    ASSERT_FALSE(afterClose.empty());
    afterClose.erase(afterClose.begin());
    EXPECT_EQ(afterClose, expected);
    EXPECT_EQ(RenderContext, nullptr);
    EXPECT_EQ(WindowDC, nullptr);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
}

TEST_F(ShowLoop, EscapeHeldFromTheStartClosesAfterTheFirstFrame) {
    // A real key press through SDL's queue, not a posted message.
    SDL_Event press;
    std::memset(&press, 0, sizeof press);
    press.type = SDL_KEYDOWN;
    press.key.type = SDL_KEYDOWN;
    press.key.state = SDL_PRESSED;
    press.key.keysym.sym = SDLK_ESCAPE;
    press.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    press.key.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());
    ASSERT_EQ(SDL_PushEvent(&press), 1);
    RunMessageLoop(Window);

    EXPECT_EQ(Frames, 1);
    EXPECT_EQ(FramesCleared, 1);
    EXPECT_EQ(Keys[VK_ESCAPE], -1);
    const std::vector<std::string> expected = {
        "SwapBuffers",      "SendMessageA", "ChangeDisplaySettingsA", "wglMakeCurrent",
        "wglDeleteContext", "ReleaseDC",    "PostQuitMessage"};
    EXPECT_EQ(CallsFrom("SwapBuffers"), expected);
}

TEST_F(ShowLoop, OtherMessagesGetTheDefaultHandling) {
    const std::size_t before = Calls.size();
    EXPECT_EQ(SendMessageA(Window, WM_PAINT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(Window, WM_SYSKEYDOWN, VK_ESCAPE, 1 << 29), 0);
    const std::vector<std::string> calls(Calls.begin() + static_cast<long>(before), Calls.end());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DefWindowProcA"), 2);
    EXPECT_EQ(Keys[VK_ESCAPE], 0);
    EXPECT_NE(RenderContext, nullptr);
}

TEST(PixelFormat, NothingCloseGivesNoFormat) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "Plain WinClass";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    HWND window = CreateWindowExA(0, "Plain WinClass", "plain", WS_POPUP, 0, 0, 64, 64, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr) << PlatformFailureReason();
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);

    PIXELFORMATDESCRIPTOR request = ShowPixelFormat;
    request.iPixelType = 1; // colour-index pixels
    EXPECT_EQ(ChoosePixelFormat(dc, &request), 0);
    request = ShowPixelFormat;
    request.dwFlags &= ~PFD_SUPPORT_OPENGL;
    EXPECT_EQ(ChoosePixelFormat(dc, &request), 0);
    request = ShowPixelFormat;
    request.nSize = 12;
    EXPECT_EQ(ChoosePixelFormat(dc, &request), 0);
    // Nothing was bound, so nothing can be made or presented.
    EXPECT_FALSE(SetPixelFormat(dc, 1, &ShowPixelFormat));
    EXPECT_EQ(wglCreateContext(dc), nullptr);
    EXPECT_FALSE(SwapBuffers(dc));

    // The show's own request is met; the format binds once.
    const int format = ChoosePixelFormat(dc, &ShowPixelFormat);
    ASSERT_NE(format, 0) << PlatformFailureReason();
    EXPECT_TRUE(SetPixelFormat(dc, format, &ShowPixelFormat));
    EXPECT_FALSE(SetPixelFormat(dc, format, &ShowPixelFormat));
    HGLRC context = wglCreateContext(dc);
    ASSERT_NE(context, nullptr) << PlatformFailureReason();
    EXPECT_TRUE(wglMakeCurrent(dc, context));
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 16);
    EXPECT_TRUE(wglMakeCurrent(dc, nullptr));
    EXPECT_TRUE(wglDeleteContext(context));
    EXPECT_FALSE(wglDeleteContext(context));
    // The default close ends the window.
    EXPECT_EQ(DefWindowProcA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(GetDC(window), nullptr);
    // Handles of a window that is gone are refused, not followed.
    EXPECT_FALSE(SwapBuffers(dc));
    EXPECT_EQ(ChoosePixelFormat(dc, &ShowPixelFormat), 0);
    EXPECT_EQ(ReleaseDC(window, dc), 0);
}

TEST(DisplayMode, RefusesRecordsItCannotRead) {
    DEVMODEA mode = {};
    mode.dmSize = 100;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADPARAM);
    mode.dmSize = sizeof mode;
    mode.dmFields = 0;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = 0;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    mode.dmPelsWidth = 640;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, 0x80), DISP_CHANGE_BADFLAGS);
    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
}
