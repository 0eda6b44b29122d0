// Start-up, the main loop and shutdown of the show.
//
// The order matters: the sound system and the song come up before any window exists,
// window creation makes the rendering context and the scene, the display switches
// before the window shows, and the show time starts with the song. The loop draws
// only when no message is waiting, so messages always come before frames.
#include "app/RunShow.h"

#include <cstring>
#include <string>

#include "app/Scene.h"
#include "app/ShowWindow.h"
#include "audio/MusicPlayer.h"
#include "platform/DisplayGuard.h"
#include "show/RenderFrame.h"

static void ShowSoundError(const char* what) {
    const std::string text =
        std::string(what) + SoundErrorText(static_cast<std::uint8_t>(FSOUND_GetError()));
    MessageBoxA(nullptr, text.c_str(), "Error!", MB_OK);
}

ATOM RegisterShowWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = ShowWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "OpenGL WinClass";
    return RegisterClassA(&windowClass);
}

HWND CreateShowWindow(HINSTANCE instance) {
    return CreateWindowExA(0, "OpenGL WinClass", "Larkspur",
                           WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, ShowWindowWidth,
                           ShowWindowHeight, nullptr, nullptr, instance, nullptr);
}

static FrameObserver Observer;

void SetFrameObserver(FrameObserver observer) {
    Observer = observer;
}

int RunMessageLoop(HWND window) {
    MSG msg = {};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            // -1 is an error, not a message; only the quit message ends the loop.
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                return static_cast<int>(msg.wParam);
            }
            if (got > 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        } else {
            if (Observer.Started != nullptr) {
                Observer.Started();
            }
            RenderFrame();
            SwapBuffers(WindowDC);
            if (Observer.Shown != nullptr) {
                Observer.Shown();
            }
            if (Keys[VK_ESCAPE] != 0) {
                SendMessageA(window, WM_CLOSE, 0, 0);
            }
        }
    }
}

int RunShow(HINSTANCE instance, HINSTANCE, const char*, int) {
    if (static_cast<std::uint8_t>(FSOUND_Init(ShowMixRate, 32, 0)) == 0) {
        ShowSoundError("Error! Initializing: ");
        FSOUND_Close();
        return 1;
    }

    Song = FMUSIC_LoadSong(ShowDataFiles[SongDataFile]);
    if (Song == nullptr) {
        ShowSoundError("Error! Loading Song: ");
        FSOUND_Close();
        return 1;
    }

    if (RegisterShowWindowClass(instance) == 0) {
        MessageBoxA(nullptr, "Failed To Register The Window Class.", "Error", MB_OK | MB_ICONERROR);
        return 1;
    }

    HWND window = CreateShowWindow(instance);
    if (window == nullptr) {
        MessageBoxA(nullptr, "Window Creation Error.", "Error", MB_OK | MB_ICONERROR);
        return 1;
    }

    DEVMODEA displayMode;
    std::memset(&displayMode, 0, sizeof displayMode);
    displayMode.dmSize = sizeof displayMode;
    displayMode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    displayMode.dmPelsWidth = ShowWindowWidth;
    displayMode.dmPelsHeight = ShowWindowHeight;
    if (ChangeDisplaySettingsA(&displayMode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) {
        RestoreDisplayModeAtExit();
    }

    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetFocus(window);

    FMUSIC_PlaySong(Song);

    // Non-zero when the rendering context could not be made.
    const int status = RunMessageLoop(window);

    FMUSIC_FreeSong(Song);
    Song = nullptr;
    FSOUND_Close();
    return status;
}
