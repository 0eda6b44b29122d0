// Ending the process from inside a frame, when the show is over.
#include "app/RunShow.h"

#include <cstdlib>

static HaltHandler CurrentHaltHandler = nullptr;

void SetHaltHandler(HaltHandler handler) {
    CurrentHaltHandler = handler;
}

void HaltProgram() {
    if (CurrentHaltHandler != nullptr) {
        CurrentHaltHandler();
    }
    // Static clean-up only; the window, context and song are left to the process end.
    std::exit(0);
}
