// The safety net under a display mode change: a guardian process that gives the X display
// its layout back when this process ends, whichever way it ends.
#pragma once

#include <cstdint>

// Starts the guardian (once) before the display is switched to width x height, and waits
// until it has joined the display's record of its layout, as the holder named by the
// show's X window (0: none). A guardian that ends while the show runs is replaced at once.
// Does nothing where there is no guardian program beside this one or no X display; the
// show then carries on unguarded.
void StartDisplayGuard(int width, int height, std::uint64_t window);

// The show gave the mode back itself: the guardian leaves the record, and ends; the last
// one to leave gives the display's first layout back if the mode is still the show's.
void StopDisplayGuard();

// Called after the show switched the display itself: makes sure an ordinary process exit
// (the show's natural end leaves through exit()) gives the mode back too. On Linux the
// guardian already covers every way of ending; on Windows a handler at exit does it.
void RestoreDisplayModeAtExit();
