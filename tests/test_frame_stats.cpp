// The frame statistics line: its figures and format, and that the program writes it when
// it ends through exit, only when asked to.
#include <gtest/gtest.h>

#include "app/FrameStats.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t Ms = 1'000'000;

struct Frame {
    std::int64_t StartedMs;
    std::int64_t ShownMs;
};

std::string LineFor(std::int64_t startMs, std::initializer_list<Frame> frames) {
    FrameStats stats;
    stats.StartNs = startMs * Ms;
    for (const Frame& frame : frames) {
        CountFrame(stats, frame.StartedMs * Ms, frame.ShownMs * Ms);
    }
    return FrameStatsLine(stats);
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path TempFile(const char* name) {
    const fs::path path = fs::temp_directory_path() /
                          (std::string("larkspur-") + name + "-" + std::to_string(getpid()));
    fs::remove(path);
    return path;
}

} // namespace

TEST(FrameStats, LineCountsFromTheFirstFrameStartToTheLastFrameShown) {
    // Three frames between 1.2 s and 3.2 s; the program started at 1.0 s and the first
    // frame was on screen 250 ms later.
    EXPECT_EQ(LineFor(1000, {{1200, 1250}, {2000, 2100}, {3100, 3200}}),
              "frames 3 in 2.0 s (1.5 fps), first frame 250 ms after start\n");
    // One decimal for seconds and rate, whole milliseconds (cut, not rounded) for the first.
    EXPECT_EQ(LineFor(0, {{1234, 1300}, {20000, 84000}}),
              "frames 2 in 82.8 s (0.0 fps), first frame 1300 ms after start\n");
}

TEST(FrameStats, RateOfALongRun) {
    FrameStats stats;
    stats.StartNs = 0;
    // 5000 frames of 16.792 ms each from 400 ms on: 83.96 s, 59.55 frames a second.
    std::int64_t at = 400 * Ms;
    for (int i = 0; i < 5000; ++i) {
        CountFrame(stats, at, at + 16'792'000);
        at += 16'792'000;
    }
    EXPECT_EQ(FrameStatsLine(stats),
              "frames 5000 in 84.0 s (59.6 fps), first frame 416 ms after start\n");
}

TEST(FrameStats, NoFramesNoLine) {
    EXPECT_EQ(LineFor(0, {}), "");
    // A frame that took no time at all gives no infinite rate.
    EXPECT_EQ(LineFor(0, {{5, 5}}), "frames 1 in 0.0 s (0.0 fps), first frame 5 ms after start\n");
}

TEST(FrameStatsDeathTest, ProgramWritesItsLineWhenItExits) {
    const fs::path path = TempFile("stats");
    EXPECT_EXIT(
        {
            setenv("LARKSPUR_FRAME_STATS", path.c_str(), 1);
            StartFrameStats();
            for (int i = 0; i < 3; ++i) {
                FrameStatsObserver().Started();
                FrameStatsObserver().Shown();
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const std::string line = ReadAll(path);
    // The whole line, in the shape "frames 3 in S.s s (X.x fps), first frame N ms after
    // start": sscanf's %n only counts when everything before it matched.
    unsigned seconds = 0, secondsTenth = 0, fps = 0, fpsTenth = 0, firstMs = 0;
    char secondsDot = 0, fpsDot = 0;
    int end = -1;
    std::sscanf(line.c_str(),
                "frames 3 in %u%c%1u s (%u%c%1u fps), first frame %u ms after start\n%n", &seconds,
                &secondsDot, &secondsTenth, &fps, &fpsDot, &fpsTenth, &firstMs, &end);
    EXPECT_TRUE(end == static_cast<int>(line.size()) && secondsDot == '.' && fpsDot == '.') << line;
    fs::remove(path);
}

TEST(FrameStatsDeathTest, NothingIsWrittenUnasked) {
    const fs::path path = TempFile("unasked");
    // Without the variable, and with it but before any frame: no file either way.
    EXPECT_EXIT(
        {
            unsetenv("LARKSPUR_FRAME_STATS");
            StartFrameStats();
            FrameStatsObserver().Started();
            FrameStatsObserver().Shown();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            setenv("LARKSPUR_FRAME_STATS", path.c_str(), 1);
            StartFrameStats();
            std::exit(1);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_FALSE(fs::exists(path));
}

TEST(FrameStats, FrameTimesTextHasALineAFrameInOrder) {
    EXPECT_EQ(FrameTimesText({}), "");
    EXPECT_EQ(FrameTimesText({{1000, 0, 9000}, {9500000000123, 4294967295u, 9500000000999}}),
              "1000 0 9000\n9500000000123 4294967295 9500000000999\n");
}

// The frame times alone are asked for: they are written, and the statistics line is not.
TEST(FrameStatsDeathTest, ProgramWritesItsFrameTimesWhenItExits) {
    const fs::path times = TempFile("times");
    EXPECT_EXIT(
        {
            unsetenv("LARKSPUR_FRAME_STATS");
            setenv("LARKSPUR_FRAME_TIMES", times.c_str(), 1);
            StartFrameStats();
            for (int i = 0; i < 3; ++i) {
                FrameStatsObserver().Started();
                FrameStatsObserver().Shown();
            }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    std::istringstream text(ReadAll(times));
    long long started = 0, shown = 0, lastShown = 0;
    unsigned showMs = 1;
    int lines = 0;
    while (text >> started >> showMs >> shown) {
        // No song plays here: the show time is 0.
        EXPECT_EQ(showMs, 0u);
        EXPECT_LE(started, shown);
        EXPECT_LE(lastShown, started);
        lastShown = shown;
        ++lines;
    }
    EXPECT_EQ(lines, 3);
    fs::remove(times);
}
