// MessageBoxA over SDL's message box; standard error where no box can be shown.
#include <SDL2/SDL.h>

#include <csignal>
#include <cstdio>

#include "platform/Win32.h"
#include "platform/Win32Objects.h"

static Uint32 SdlBoxFlags(UINT type) {
    switch (type & 0xF0u) {
    case 0x10u: // MB_ICONERROR
        return SDL_MESSAGEBOX_ERROR;
    case 0x30u: // MB_ICONWARNING
        return SDL_MESSAGEBOX_WARNING;
    case 0x40u: // MB_ICONINFORMATION
        return SDL_MESSAGEBOX_INFORMATION;
    default:
        return 0;
    }
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    ObservePlatformCall("MessageBoxA");
    const char* shownText = text != nullptr ? text : "";
    const char* shownCaption = caption != nullptr ? caption : "Error";
    SDL_Window* parent = IsLiveWindow(owner) ? owner->Sdl : nullptr;

    // One OK button, answering both Return and Escape; the only type the show uses.
    SDL_MessageBoxButtonData ok = {};
    ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    ok.buttonid = IDOK;
    ok.text = "OK";
    SDL_MessageBoxData box = {};
    box.flags = SdlBoxFlags(type);
    box.window = parent;
    box.title = shownCaption;
    box.message = shownText;
    box.numbuttons = 1;
    box.buttons = &ok;
    // SDL turns SIGINT and SIGTERM into a quit event that the box's own event loop never
    // reads, so a box would outlive a request to end: while it is up they end the process.
    struct sigaction ending = {};
    ending.sa_handler = SIG_DFL;
    sigemptyset(&ending.sa_mask);
    struct sigaction previous[3] = {};
    const int signals[3] = {SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 3; ++i) {
        sigaction(signals[i], nullptr, &previous[i]);
        // An ignored signal (nohup) stays ignored.
        if (previous[i].sa_handler != SIG_IGN) {
            sigaction(signals[i], &ending, nullptr);
        }
    }
    int pressed = 0;
    const int shown = SDL_ShowMessageBox(&box, &pressed);
    for (int i = 0; i < 3; ++i) {
        sigaction(signals[i], &previous[i], nullptr);
    }
    if (shown == 0) {
        return IDOK;
    }
    SetPlatformFailure(SDL_GetError());
    // No box could be shown: the failure must still be seen.
    std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
    std::fflush(stderr);
    return 0;
}
