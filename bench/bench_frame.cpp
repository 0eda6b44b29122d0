// Frame benchmark: renders whole frames offscreen at fixed show times (the title, a zoom,
// and a spin with the glyph stack, the spinning glyph, the shimmer and a credits line) and
// reports the mean frame time (the Time column) and frames per second of each. Afterwards it starts
// the real program once and reports the time from process start to its first presented frame. Run
// from the build folder, so data/ and the program are found.
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/Scene.h"
#include "audio/MusicPlayer.h"
#include "show/Layers.h"
#include "show/Random.h"
#include "show/RenderFrame.h"
#include "tests/support/GlTestContext.h"

static GlTestContext* Gl = nullptr;
static std::uint32_t FixedTime = 0;

static void SetUpShow() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    Gl = new GlTestContext();
    if (!Gl->Ok()) {
        std::fprintf(stderr, "no GL context\n");
        std::exit(1);
    }
    InitScene(640, 480);
    SetShowTimeSource([] { return FixedTime; });
}

// Holds the picture show in one state at a fixed time, so every frame draws the same.
static void RenderAt(benchmark::State& state, std::uint32_t t, std::uint8_t pictureState,
                     std::uint32_t e) {
    SetUpShow();
    FixedTime = t;
    StackStamp = t; // the glyph stack keeps its code
    for (auto _ : state) {
        PictureState = pictureState;
        PictureStamp = t - e;
        PictureIndex = 3;
        RenderFrame();
        glFinish();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

static void BM_FrameTitle(benchmark::State& state) {
    RenderAt(state, 3000, Title, 3000);
}
static void BM_FrameZoom(benchmark::State& state) {
    RenderAt(state, 11000, Zoom, 200);
}
static void BM_FrameSpinAllLayers(benchmark::State& state) {
    RenderAt(state, 40000, Spin, 100);
}

BENCHMARK(BM_FrameTitle)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FrameZoom)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FrameSpinAllLayers)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Starts ./larkspur offscreen with the first-frame probe preloaded and waits for the probe's
// marker line; returns the milliseconds from fork to the first presented frame, or < 0.
static double TimeToFirstFrame() {
    const char* probe = "bench/libfirst_frame_probe.so";
    if (access("./larkspur", X_OK) != 0 || access(probe, R_OK) != 0) {
        return -1.0;
    }
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return -1.0;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], 2);
        close(pipeEnds[0]);
        setenv("LD_PRELOAD", probe, 1);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl("./larkspur", "larkspur", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        return -1.0;
    }
    std::string seen;
    double result = -1.0;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.find("first-frame\n") != std::string::npos) {
            result =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            break;
        }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(pipeEnds[0]);
    return result;
}

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double firstFrame = TimeToFirstFrame();
    if (firstFrame >= 0.0) {
        std::printf("start to first presented frame: %.1f ms\n", firstFrame);
    } else {
        std::printf("start to first presented frame: not measured (./larkspur or the probe "
                    "missing, or no frame)\n");
    }
    return 0;
}
