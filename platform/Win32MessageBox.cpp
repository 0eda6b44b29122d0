// MessageBoxA over SDL's message box; standard error where no box can be shown.
#include <SDL2/SDL.h>

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
    int pressed = 0;
    if (SDL_ShowMessageBox(&box, &pressed) == 0) {
        return IDOK;
    }
    SetPlatformFailure(SDL_GetError());
    // No box could be shown: the failure must still be seen.
    std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
    std::fflush(stderr);
    return 0;
}
