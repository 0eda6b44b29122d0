// Pure translation of SDL events into window messages.
//
// Key down/up become WM_KEYDOWN/WM_KEYUP (WM_SYSKEYDOWN/WM_SYSKEYUP while Alt is held,
// for Alt itself and for F10, as Windows reports them), a close request becomes
// WM_CLOSE, a size change WM_SIZE, an expose WM_PAINT and focus changes
// WM_SETFOCUS/WM_KILLFOCUS. A request to quit the whole program (SIGINT, SIGTERM)
// becomes WM_CLOSE too, so the display mode is given back on that path as well.
#include "platform/sdl/Messages.h"

#include <SDL2/SDL_events.h>

#include "platform/sdl/VirtualKeys.h"

static bool TranslateKey(const SDL_KeyboardEvent& key, HWND window, MSG* out) {
    const int vk = VirtualKeyFromSdl(key.keysym.sym, key.keysym.scancode);
    if (vk == VK_NONE || vk > 0xFF) {
        return false;
    }
    const bool down = key.type == SDL_KEYDOWN;
    const bool altHeld = (key.keysym.mod & KMOD_ALT) != 0;
    const bool system = altHeld || vk == VK_MENU || vk == VK_F1 + 9;
    if (down) {
        out->message = system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    } else {
        out->message = system ? WM_SYSKEYUP : WM_KEYUP;
    }
    out->hwnd = window;
    out->wParam = static_cast<WPARAM>(vk);
    // Repeat count 1, scan code, Alt as context, previous state, transition.
    std::uint32_t bits = 1u | ((static_cast<std::uint32_t>(key.keysym.scancode) & 0xFFu) << 16);
    if (altHeld) {
        bits |= 1u << 29;
    }
    if (!down || key.repeat != 0) {
        bits |= 1u << 30;
    }
    if (!down) {
        bits |= 1u << 31;
    }
    out->lParam = static_cast<LPARAM>(static_cast<std::int32_t>(bits));
    return true;
}

static bool TranslateWindowEvent(const SDL_WindowEvent& event, HWND window, MSG* out) {
    out->hwnd = window;
    out->wParam = 0;
    out->lParam = 0;
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
        out->message = WM_CLOSE;
        return true;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        const unsigned width = event.data1 > 0 ? static_cast<unsigned>(event.data1) : 0u;
        const unsigned height = event.data2 > 0 ? static_cast<unsigned>(event.data2) : 0u;
        out->message = WM_SIZE;
        out->lParam = MAKELPARAM(width, height);
        return true;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        out->message = WM_PAINT;
        return true;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        out->message = WM_SETFOCUS;
        return true;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        out->message = WM_KILLFOCUS;
        return true;
    default:
        return false;
    }
}

bool TranslateSdlEvent(const SDL_Event& event, HWND window, MSG* out) {
    if (out == nullptr || window == nullptr) {
        return false;
    }
    MSG msg = {};
    msg.time = event.common.timestamp;
    bool made = false;
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        made = TranslateKey(event.key, window, &msg);
        break;
    case SDL_WINDOWEVENT:
        made = TranslateWindowEvent(event.window, window, &msg);
        break;
    case SDL_QUIT:
        msg.hwnd = window;
        msg.message = WM_CLOSE;
        made = true;
        break;
    default:
        break;
    }
    if (made) {
        *out = msg;
    }
    return made;
}
