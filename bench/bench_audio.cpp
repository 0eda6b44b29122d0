// The music player's costs: reading the show time (done many times per frame) and
// rendering music in the audio callback (must stay far below real time).
#include <benchmark/benchmark.h>

#include "audio/MusicPlayer.h"
#include "audio/PlayClock.h"
#include "audio/SongFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

static void PlayClockArithmetic(benchmark::State& state) {
    PlayMark mark{44100 * 60, 1024, SteadyNanoseconds()};
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlayedNanoseconds(mark, SteadyNanoseconds(), 44100));
    }
}
BENCHMARK(PlayClockArithmetic);

// What every layer pays for one reading of the show time while the song plays.
static void ShowTimeWhilePlaying(benchmark::State& state) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (FSOUND_Init(44100, 32, 0) == 0) {
        state.SkipWithError("no sound output");
        return;
    }
    FMUSIC_MODULE* song = FMUSIC_LoadSong("data/theme.xm");
    if (song == nullptr) {
        FSOUND_Close();
        state.SkipWithError("data/theme.xm does not load (run from the build folder)");
        return;
    }
    FMUSIC_PlaySong(song);
    for (auto _ : state) {
        benchmark::DoNotOptimize(FMUSIC_GetTime(song));
    }
    FMUSIC_FreeSong(song);
    FSOUND_Close();
}
BENCHMARK(ShowTimeWhilePlaying);

// Rendering the default song in callback-sized pieces; frames/s over 44100 is how many
// times faster than real time the decoder runs.
static void RenderCallbackBuffers(benchmark::State& state) {
    std::ifstream file("data/theme.xm", std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    std::unique_ptr<openmpt::module> module;
    if (DecodeSong(bytes.data(), bytes.size(), module) != FMOD_ERR_NONE) {
        state.SkipWithError("data/theme.xm does not load (run from the build folder)");
        return;
    }
    std::vector<std::int16_t> buffer(2 * 1024);
    std::int64_t frames = 0;
    for (auto _ : state) {
        frames +=
            static_cast<std::int64_t>(module->read_interleaved_stereo(44100, 1024, buffer.data()));
    }
    state.SetItemsProcessed(frames);
    state.counters["realtime_factor"] =
        benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
}
BENCHMARK(RenderCallbackBuffers);

BENCHMARK_MAIN();
