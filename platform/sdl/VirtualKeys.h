// SDL key codes to Windows virtual-key codes: the codes that WM_KEYDOWN and WM_KEYUP
// carry in their first parameter.
#pragma once

#include <cstdint>

// The result of the lookup for a key that has no virtual-key code.
constexpr int VK_NONE = 0;

// The virtual-key code (1 ... 254) for an SDL key code and its scan code, or VK_NONE.
// The key code decides (so letters follow the keyboard layout); where it names no key
// we know, letters and digits fall back to their position on the keyboard.
int VirtualKeyFromSdl(std::int32_t sdlKeycode, int sdlScancode);
