// The progress bar on standard error: frames done of the total, frames per second and
// the time left. Redrawn in place a few times a second on a terminal; elsewhere (a log,
// CI) one line per tenth of the work.
#include "capture/Capture.h"

#include <chrono>
#include <cstdio>

#include <unistd.h>

using ProgressClock = std::chrono::steady_clock;

static std::uint64_t Total = 0;
static bool Silent = true;
static bool OnTerminal = false;
static ProgressClock::time_point Started;
static ProgressClock::time_point LastDrawn;
static int LastTenth = -1;

static void DrawProgress(std::uint64_t done, bool final) {
    const double seconds = std::chrono::duration<double>(ProgressClock::now() - Started).count();
    const double fps = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    const double left = fps > 0 ? static_cast<double>(Total - done) / fps : 0;
    constexpr int BarWidth = 30;
    const int filled = Total > 0 ? static_cast<int>(done * BarWidth / Total) : BarWidth;
    char bar[BarWidth + 1];
    for (int i = 0; i < BarWidth; ++i) {
        bar[i] = i < filled ? '#' : '.';
    }
    bar[BarWidth] = '\0';
    const int leftSeconds = static_cast<int>(left + 0.5);
    std::fprintf(stderr, "%s[%s] %llu/%llu frames  %.1f fps  %d:%02d left%s",
                 OnTerminal ? "\r" : "", bar, static_cast<unsigned long long>(done),
                 static_cast<unsigned long long>(Total), fps, leftSeconds / 60, leftSeconds % 60,
                 OnTerminal ? (final ? "\n" : "") : "\n");
    std::fflush(stderr);
}

void StartProgress(std::uint64_t total, bool quiet) {
    Total = total;
    Silent = quiet;
    OnTerminal = isatty(STDERR_FILENO) != 0;
    Started = ProgressClock::now();
    LastDrawn = Started;
    LastTenth = -1;
}

void UpdateProgress(std::uint64_t done) {
    if (Silent || Total == 0) {
        return;
    }
    if (OnTerminal) {
        const auto now = ProgressClock::now();
        if (now - LastDrawn < std::chrono::milliseconds(250)) {
            return;
        }
        LastDrawn = now;
        DrawProgress(done, false);
        return;
    }
    const int tenth = static_cast<int>(done * 10 / Total);
    if (tenth != LastTenth) {
        LastTenth = tenth;
        DrawProgress(done, false);
    }
}

void EndProgress(std::uint64_t done) {
    if (!Silent && OnTerminal) {
        DrawProgress(done, true);
    }
}
