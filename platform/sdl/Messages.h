// SDL events to window messages: the pure translation the message queue uses.
#pragma once

#include "platform/Win32.h"

union SDL_Event;

// Fills `out` with the message that `event` becomes for `window` (the window the event
// belongs to, already looked up) and returns true; false for events that carry no
// message, or for window events without a window. Key messages carry a virtual-key
// code below 256 in wParam; keys without one give no message.
bool TranslateSdlEvent(const SDL_Event& event, HWND window, MSG* out);
