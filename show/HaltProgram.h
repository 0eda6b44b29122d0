// Ending the process from inside a frame, when the show is over.
#pragma once

// Ends the process at once with exit status 0; never returns.
[[noreturn]] void HaltProgram();

// Recording and test seam: while a handler is set, HaltProgram calls it instead of
// ending the process. The handler must not return (it throws or jumps out of the frame).
using HaltHandler = void (*)();
void SetHaltHandler(HaltHandler handler);
