// Frame statistics of the measured build: counted by the message loop, written at exit.
#include "app/FrameStats.h"

#include "show/ShowTime.h"

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

std::string FrameTimesText(const std::vector<FrameTime>& frames) {
    std::string text;
    char line[80];
    for (const FrameTime& frame : frames) {
        std::snprintf(line, sizeof line, "%lld %u %lld\n", static_cast<long long>(frame.StartedNs),
                      frame.ShowMs, static_cast<long long>(frame.ShownNs));
        text += line;
    }
    return text;
}

// Written by the main thread only: the message loop counts, exit writes.
static FrameStats ProgramStats;
// Where the line goes; empty when the variable is not set.
static std::string StatsPath;
// Every frame's times, kept only when they have somewhere to go.
static std::vector<FrameTime> ProgramTimes;
static std::string TimesPath;

static void WriteAtExit() {
    if (!StatsPath.empty()) {
        WriteFrameStats(StatsPath.c_str());
    }
    if (!TimesPath.empty()) {
        if (std::FILE* file = std::fopen(TimesPath.c_str(), "w")) {
            std::fputs(FrameTimesText(ProgramTimes).c_str(), file);
            std::fclose(file);
        }
    }
}

static std::int64_t FrameClockNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// When the frame being drawn began, and the show time then.
static std::int64_t FrameStartedNs = 0;
static std::uint32_t FrameShowMs = 0;

FrameObserver FrameStatsObserver() {
    return {[] {
                FrameStartedNs = FrameClockNanoseconds();
                if (!TimesPath.empty()) {
                    FrameShowMs = ShowTime();
                }
            },
            [] {
                const std::int64_t shown = FrameClockNanoseconds();
                CountFrame(ProgramStats, FrameStartedNs, shown);
                if (!TimesPath.empty()) {
                    ProgramTimes.push_back({FrameStartedNs, FrameShowMs, shown});
                }
            }};
}

static bool Named(const char* path) {
    return path != nullptr && path[0] != '\0';
}

void StartFrameStats() {
    ProgramStats = FrameStats{};
    ProgramStats.StartNs = FrameClockNanoseconds();
    SetFrameObserver(FrameStatsObserver());
    if (!StatsPath.empty() || !TimesPath.empty()) {
        return;
    }
    const char* stats = std::getenv("LARKSPUR_FRAME_STATS");
    const char* times = std::getenv("LARKSPUR_FRAME_TIMES");
    StatsPath = Named(stats) ? stats : "";
    TimesPath = Named(times) ? times : "";
    if (!StatsPath.empty() || !TimesPath.empty()) {
        std::atexit(WriteAtExit);
    }
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
