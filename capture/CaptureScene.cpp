// The show, offscreen: the same window class, window procedure, scene set-up and
// frame as the live show, with the show time taken from the frame being recorded and
// the end of the show ending the recording instead of the process.
#include "capture/Capture.h"

#include <cerrno>
#include <cstring>

#include <SDL2/SDL.h>

#include "app/RunShow.h"
#include "app/Scene.h"
#include "app/ShowWindow.h"
#include "audio/MusicPlayer.h"
#include "fonts/FontFaces.h"
#include "platform/FileAccess.h"
#include "platform/Win32Fonts.h"
#include "show/HaltProgram.h"
#include "show/Layers.h"
#include "show/RenderFrame.h"

static std::uint32_t CaptureTime = 0;
static HWND CaptureWindow = nullptr;

// Thrown out of the frame by HaltProgram, caught by RenderCaptureFrame.
struct ShowEnded {};

[[noreturn]] static void EndShowInsideFrame() {
    throw ShowEnded{};
}

// Empty when the file is a regular file that can be opened for reading, otherwise why
// not. The opener never waits: opening a FIFO to read would wait for a writer for ever.
static std::string CheckDataFile(const char* path) {
    std::FILE* stream = nullptr;
    std::uint64_t size = 0;
    switch (OpenRegularFile(path, &stream, &size)) {
    case FileOpenResult::Opened:
        std::fclose(stream);
        return {};
    case FileOpenResult::NotRegular:
        return "it is not a regular file";
    case FileOpenResult::Missing:
    case FileOpenResult::Refused:
        break;
    }
    return std::strerror(errno);
}

std::string CheckShowData() {
    for (int i = 0; i < ShowDataFileCount; ++i) {
        const std::string why = CheckDataFile(ShowDataFiles[i]);
        if (!why.empty()) {
            return std::string("cannot read ") + ShowDataFiles[i] + " (" + why +
                   "; the show's media are read from data/ under the working directory, or under "
                   "--show-dir)";
        }
    }
    return {};
}

std::string CheckShowFaces() {
    // The descriptions the show's two outline fonts are made from. The live show draws
    // nothing for a missing face; a recording says so instead.
    const bool text = FindFontFace("Arial", FW_BOLD, false, ANSI_CHARSET) != nullptr;
    const bool symbols = FindFontFace("Wingdings", FW_BOLD, false, DEFAULT_CHARSET) != nullptr;
    const std::string textFace =
        "the text face Arial or a stand-in for it (Debian package fonts-liberation2)";
    const std::string symbolFace =
        "the symbol face Wingdings or a face with its symbols (Debian package fonts-symbola)";
    if (!text && !symbols) {
        return "fonts not installed: " + textFace + ", and " + symbolFace;
    }
    if (!text || !symbols) {
        return "font not installed: " + (text ? symbolFace : textFace);
    }
    return {};
}

bool OpenCaptureScene(std::string& error, int width, int height, int samples) {
    // No screen needed; a video driver named in the environment still wins.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    SetShowTimeSource([] { return CaptureTime; });
    SetHaltHandler(EndShowInsideFrame);
    // A recording starts at the show's start, also the second in one process.
    SetShowState({});
    if (CaptureWindow != nullptr) {
        return OpenFrameTarget(width, height, samples, error);
    }

    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (RegisterShowWindowClass(instance) == 0) {
        error = std::string("cannot register the show's window class: ") + PlatformFailureReason();
        return false;
    }
    // Creation runs WM_CREATE: device context, pixel format, GL context, InitScene.
    CaptureWindow = CreateShowWindow(instance);
    if (CaptureWindow == nullptr || WindowDC == nullptr || RenderContext == nullptr) {
        // The layer's reason when the creation itself failed, else SDL's last word.
        const char* why =
            *PlatformFailureReason() != '\0' ? PlatformFailureReason() : SDL_GetError();
        error = std::string("cannot create an offscreen OpenGL context") +
                (why != nullptr && *why != '\0' ? std::string(": ") + why : std::string());
        return false;
    }
    RECT client = {};
    GetClientRect(CaptureWindow, &client);
    if (client.right != CaptureWidth || client.bottom != CaptureHeight) {
        error = "the offscreen window is " + std::to_string(client.right) + " x " +
                std::to_string(client.bottom) + ", not " + std::to_string(CaptureWidth) + " x " +
                std::to_string(CaptureHeight);
        return false;
    }
    // The live show carries on without a picture it could not decode; a recording
    // would quietly show the wrong thing, so say which one.
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        if (Textures[slot] != nullptr && Textures[slot]->TextureName == 0) {
            error = std::string("cannot decode ") + ShowDataFiles[slot];
            return false;
        }
    }
    return OpenFrameTarget(width, height, samples, error);
}

bool RenderCaptureFrame(std::uint32_t time) {
    CaptureTime = time;
    try {
        if (FrameSamples() == SamplesAtEdges) {
            DrawFrameSmoothingEdges();
        } else {
            RenderFrame();
        }
    } catch (const ShowEnded&) {
        return false;
    }
    return true;
}

bool SkipCaptureFrame(std::uint32_t time) {
    SetShowState(StateAfterFrame(CurrentShowState(), time));
    return !ShowOver(time);
}
