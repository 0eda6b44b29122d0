// The system's own ChangeDisplaySettingsA has no guardian beside it. The show's natural
// end leaves through exit() without closing its window, and not every system (Wine among
// them) gives a CDS_FULLSCREEN mode back when the process ends, so a handler at exit does.
#include "platform/DisplayGuard.h"

#include "platform/Win32.h"

#include <cstdlib>

static void GiveDisplayModeBack() {
    ChangeDisplaySettingsA(nullptr, 0);
}

void RestoreDisplayModeAtExit() {
    static bool registered = false;
    if (!registered) {
        registered = std::atexit(GiveDisplayModeBack) == 0;
    }
}
