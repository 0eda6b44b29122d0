// Frame statistics of the measured build of the show (larkspur-measured, which tests and
// benchmarks run; the shipped larkspur has none): when LARKSPUR_FRAME_STATS names a
// file, one line is written to it as the program ends:
//   frames F in S s (X fps), first frame N ms after start
// F frames were shown in S seconds, from the start of the first to the end of the last;
// N is the time from the program's start to the end of the first. Without the variable
// nothing is written, and nothing else changes either way.
// When LARKSPUR_FRAME_TIMES names a file, every frame also gets a line there at the end:
//   STARTED_NS SHOW_MS SHOWN_NS
// the steady clock as the frame began, the show time then, and the steady clock once it
// was handed to the screen, for benchmarks that set the picture against the sound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/RunShow.h"

struct FrameStats {
    std::int64_t StartNs = 0;
    std::uint64_t Frames = 0;
    // Steady-clock times; meaningful once a frame has been counted.
    std::int64_t FirstStartedNs = 0;
    std::int64_t FirstShownNs = 0;
    std::int64_t LastShownNs = 0;
};

// Counts one frame that began at startedNs and was on screen at shownNs.
void CountFrame(FrameStats& stats, std::int64_t startedNs, std::int64_t shownNs);

struct FrameTime {
    std::int64_t StartedNs = 0;
    std::uint32_t ShowMs = 0;
    std::int64_t ShownNs = 0;
};
// The frame-times file's text: one line a frame, in order.
std::string FrameTimesText(const std::vector<FrameTime>& frames);
// The line for the statistics, with its newline; empty while no frame has been counted.
std::string FrameStatsLine(const FrameStats& stats);

// --- The program's own statistics ---

// Called first thing in the measured build's main: notes the start, has the message loop
// report its frames, and when the variable names a file, arranges for the line to be
// written there when the program ends through exit (the natural end, Escape, a close).
// A failure to write is not the show's concern.
void StartFrameStats();
// The observer StartFrameStats gives the message loop.
FrameObserver FrameStatsObserver();
// Writes the program's line to `path`, replacing the file; false when it cannot, or when
// there is no frame to report.
bool WriteFrameStats(const char* path);
