// Frame statistics of the measured build: counted by the message loop, written at exit.
#include "app/FrameStats.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

void CountFrame(FrameStats& stats, std::int64_t startedNs, std::int64_t shownNs) {
    if (stats.Frames == 0) {
        stats.FirstStartedNs = startedNs;
        stats.FirstShownNs = shownNs;
    }
    stats.LastShownNs = shownNs;
    ++stats.Frames;
}

std::string FrameStatsLine(const FrameStats& stats) {
    if (stats.Frames == 0) {
        return {};
    }
    const double seconds =
        static_cast<double>(stats.LastShownNs - stats.FirstStartedNs) / 1'000'000'000.0;
    const double rate = seconds > 0.0 ? static_cast<double>(stats.Frames) / seconds : 0.0;
    const long long firstMs = (stats.FirstShownNs - stats.StartNs) / 1'000'000;
    char line[160];
    std::snprintf(line, sizeof line,
                  "frames %llu in %.1f s (%.1f fps), first frame %lld ms after start\n",
                  static_cast<unsigned long long>(stats.Frames), seconds, rate, firstMs);
    return line;
}

// Written by the main thread only: the message loop counts, exit writes.
static FrameStats ProgramStats;
// Where the line goes; empty when the variable is not set.
static std::string StatsPath;

static void WriteAtExit() {
    WriteFrameStats(StatsPath.c_str());
}

static std::int64_t FrameClockNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// When the frame being drawn began.
static std::int64_t FrameStartedNs = 0;

FrameObserver FrameStatsObserver() {
    return {[] { FrameStartedNs = FrameClockNanoseconds(); },
            [] { CountFrame(ProgramStats, FrameStartedNs, FrameClockNanoseconds()); }};
}

void StartFrameStats() {
    ProgramStats = FrameStats{};
    ProgramStats.StartNs = FrameClockNanoseconds();
    SetFrameObserver(FrameStatsObserver());
    const char* path = std::getenv("LARKSPUR_FRAME_STATS");
    if (path == nullptr || path[0] == '\0' || !StatsPath.empty()) {
        return;
    }
    StatsPath = path;
    std::atexit(WriteAtExit);
}

bool WriteFrameStats(const char* path) {
    const std::string line = FrameStatsLine(ProgramStats);
    if (path == nullptr || path[0] == '\0' || line.empty()) {
        return false;
    }
    std::FILE* file = std::fopen(path, "w");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fputs(line.c_str(), file) >= 0;
    return std::fclose(file) == 0 && written;
}
