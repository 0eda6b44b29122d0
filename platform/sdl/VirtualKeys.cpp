// The constant table from SDL key codes to Windows virtual-key codes.
#include "platform/sdl/VirtualKeys.h"

#include <SDL2/SDL_keyboard.h>

#include <algorithm>
#include <array>
#include <iterator>

#include "platform/Win32.h"

namespace {

struct KeyPair {
    std::int32_t Sdl;
    int Virtual;
};

constexpr KeyPair Pair(SDL_Keycode sdl, int vk) {
    return KeyPair{static_cast<std::int32_t>(sdl), vk};
}

// Keys whose SDL code is not a printable character or a digit/letter run.
constexpr KeyPair NamedKeys[] = {
    Pair(SDLK_BACKSPACE, VK_BACK), Pair(SDLK_TAB, VK_TAB),       Pair(SDLK_RETURN, VK_RETURN),
    Pair(SDLK_ESCAPE, VK_ESCAPE),  Pair(SDLK_SPACE, VK_SPACE),   Pair(SDLK_QUOTE, 0xDE),
    Pair(SDLK_COMMA, 0xBC),        Pair(SDLK_MINUS, 0xBD),       Pair(SDLK_PERIOD, 0xBE),
    Pair(SDLK_SLASH, 0xBF),        Pair(SDLK_SEMICOLON, 0xBA),   Pair(SDLK_EQUALS, 0xBB),
    Pair(SDLK_LEFTBRACKET, 0xDB),  Pair(SDLK_BACKSLASH, 0xDC),   Pair(SDLK_RIGHTBRACKET, 0xDD),
    Pair(SDLK_BACKQUOTE, 0xC0),    Pair(SDLK_DELETE, 0x2E),      Pair(SDLK_CAPSLOCK, 0x14),
    Pair(SDLK_F1, VK_F1),          Pair(SDLK_F2, VK_F1 + 1),     Pair(SDLK_F3, VK_F1 + 2),
    Pair(SDLK_F4, VK_F1 + 3),      Pair(SDLK_F5, VK_F1 + 4),     Pair(SDLK_F6, VK_F1 + 5),
    Pair(SDLK_F7, VK_F1 + 6),      Pair(SDLK_F8, VK_F1 + 7),     Pair(SDLK_F9, VK_F1 + 8),
    Pair(SDLK_F10, VK_F1 + 9),     Pair(SDLK_F11, VK_F1 + 10),   Pair(SDLK_F12, VK_F12),
    Pair(SDLK_PRINTSCREEN, 0x2C),  Pair(SDLK_SCROLLLOCK, 0x91),  Pair(SDLK_PAUSE, 0x13),
    Pair(SDLK_INSERT, 0x2D),       Pair(SDLK_HOME, 0x24),        Pair(SDLK_PAGEUP, 0x21),
    Pair(SDLK_END, 0x23),          Pair(SDLK_PAGEDOWN, 0x22),    Pair(SDLK_RIGHT, VK_RIGHT),
    Pair(SDLK_LEFT, VK_LEFT),      Pair(SDLK_DOWN, VK_DOWN),     Pair(SDLK_UP, VK_UP),
    Pair(SDLK_NUMLOCKCLEAR, 0x90), Pair(SDLK_KP_DIVIDE, 0x6F),   Pair(SDLK_KP_MULTIPLY, 0x6A),
    Pair(SDLK_KP_MINUS, 0x6D),     Pair(SDLK_KP_PLUS, 0x6B),     Pair(SDLK_KP_ENTER, VK_RETURN),
    Pair(SDLK_KP_1, 0x61),         Pair(SDLK_KP_2, 0x62),        Pair(SDLK_KP_3, 0x63),
    Pair(SDLK_KP_4, 0x64),         Pair(SDLK_KP_5, 0x65),        Pair(SDLK_KP_6, 0x66),
    Pair(SDLK_KP_7, 0x67),         Pair(SDLK_KP_8, 0x68),        Pair(SDLK_KP_9, 0x69),
    Pair(SDLK_KP_0, 0x60),         Pair(SDLK_KP_PERIOD, 0x6E),   Pair(SDLK_APPLICATION, 0x5D),
    Pair(SDLK_F13, VK_F12 + 1),    Pair(SDLK_F14, VK_F12 + 2),   Pair(SDLK_F15, VK_F12 + 3),
    Pair(SDLK_F16, VK_F12 + 4),    Pair(SDLK_F17, VK_F12 + 5),   Pair(SDLK_F18, VK_F12 + 6),
    Pair(SDLK_F19, VK_F12 + 7),    Pair(SDLK_F20, VK_F12 + 8),   Pair(SDLK_F21, VK_F12 + 9),
    Pair(SDLK_F22, VK_F12 + 10),   Pair(SDLK_F23, VK_F12 + 11),  Pair(SDLK_F24, VK_F12 + 12),
    Pair(SDLK_LCTRL, VK_CONTROL),  Pair(SDLK_LSHIFT, VK_SHIFT),  Pair(SDLK_LALT, VK_MENU),
    Pair(SDLK_LGUI, 0x5B),         Pair(SDLK_RCTRL, VK_CONTROL), Pair(SDLK_RSHIFT, VK_SHIFT),
    Pair(SDLK_RALT, VK_MENU),      Pair(SDLK_RGUI, 0x5C),
};

constexpr bool SortedBySdlCode() {
    for (std::size_t i = 1; i < std::size(NamedKeys); ++i) {
        if (NamedKeys[i - 1].Sdl >= NamedKeys[i].Sdl) {
            return false;
        }
    }
    return true;
}
static_assert(SortedBySdlCode(), "the lookup searches the table by halves");

int NamedKey(std::int32_t sdlKeycode) {
    const auto* end = std::end(NamedKeys);
    const auto* found =
        std::lower_bound(std::begin(NamedKeys), end, sdlKeycode,
                         [](const KeyPair& pair, std::int32_t code) { return pair.Sdl < code; });
    if (found == end || found->Sdl != sdlKeycode) {
        return VK_NONE;
    }
    return found->Virtual;
}

} // namespace

int VirtualKeyFromSdl(std::int32_t sdlKeycode, int sdlScancode) {
    if (sdlKeycode >= SDLK_a && sdlKeycode <= SDLK_z) {
        return 'A' + (sdlKeycode - SDLK_a);
    }
    if (sdlKeycode >= SDLK_0 && sdlKeycode <= SDLK_9) {
        return '0' + (sdlKeycode - SDLK_0);
    }
    const int named = NamedKey(sdlKeycode);
    if (named != VK_NONE) {
        return named;
    }
    // A layout whose letters are not Latin: fall back to where the key sits.
    if (sdlScancode >= SDL_SCANCODE_A && sdlScancode <= SDL_SCANCODE_Z) {
        return 'A' + (sdlScancode - SDL_SCANCODE_A);
    }
    if (sdlScancode >= SDL_SCANCODE_1 && sdlScancode <= SDL_SCANCODE_9) {
        return '1' + (sdlScancode - SDL_SCANCODE_1);
    }
    if (sdlScancode == SDL_SCANCODE_0) {
        return '0';
    }
    return VK_NONE;
}
