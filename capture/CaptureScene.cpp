// The show, offscreen: the same window class, window procedure, scene set-up and
// frame as the live show, with the show time taken from the frame being recorded and
// the end of the show ending the recording instead of the process.
#include "capture/Capture.h"

#include <cstdio>

#include <SDL2/SDL.h>

#include "app/RunShow.h"
#include "app/Scene.h"
#include "app/ShowWindow.h"
#include "audio/MusicPlayer.h"
#include "show/HaltProgram.h"
#include "show/RenderFrame.h"

static std::uint32_t CaptureTime = 0;
static HWND CaptureWindow = nullptr;

// Thrown out of the frame by HaltProgram, caught by RenderCaptureFrame.
struct ShowEnded {};

[[noreturn]] static void EndShowInsideFrame() {
    throw ShowEnded{};
}

std::string CheckShowData() {
    for (int i = 0; i < ShowDataFileCount; ++i) {
        std::FILE* file = std::fopen(ShowDataFiles[i], "rb");
        if (file == nullptr) {
            return std::string("cannot read ") + ShowDataFiles[i] +
                   " (the show's media are read from data/ under the working directory, or under "
                   "--show-dir)";
        }
        std::fclose(file);
    }
    return {};
}

bool OpenCaptureScene(std::string& error) {
    // No screen needed; a video driver named in the environment still wins.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    SetShowTimeSource([] { return CaptureTime; });
    SetHaltHandler(EndShowInsideFrame);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (RegisterShowWindowClass(instance) == 0) {
        error = "cannot register the show's window class";
        return false;
    }
    // Creation runs WM_CREATE: device context, pixel format, GL context, InitScene.
    CaptureWindow = CreateShowWindow(instance);
    if (CaptureWindow == nullptr || WindowDC == nullptr || RenderContext == nullptr) {
        const char* why = SDL_GetError();
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
    return true;
}

bool RenderCaptureFrame(std::uint32_t time) {
    CaptureTime = time;
    try {
        RenderFrame();
    } catch (const ShowEnded&) {
        return false;
    }
    return true;
}
