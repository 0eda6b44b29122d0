// larkspur-av-offset: how far the show's picture runs ahead of its sound (bench/av-offset.sh).
//   larkspur-av-offset record SOURCE HEARD.raw STAMPS.txt
//     records SOURCE (a sink's monitor) as 16-bit stereo at 44100 Hz until SIGTERM, and
//     after every 10 ms read notes the frames so far, the steady clock and the latency
//     the server reports, so that every recorded frame has the time it was heard;
//   larkspur-av-offset offset SONG.raw HEARD.raw STAMPS.txt FRAMES.txt FROM_MS TO_MS
//     finds the song's start in the recording (SONG.raw: the song rendered at 44100 Hz)
//     and prints how far each picture of FRAMES.txt (larkspur-measured's frame times) was
//     ahead of the song heard as it was shown, over the song's FROM_MS to TO_MS.
#include "bench/AvOffset.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

volatile std::sig_atomic_t Stop = 0;

std::int64_t SteadyNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int Record(const char* source, const char* rawPath, const char* stampsPath) {
    std::signal(SIGTERM, [](int) { Stop = 1; });
    std::signal(SIGINT, [](int) { Stop = 1; });
    const pa_sample_spec spec{PA_SAMPLE_S16LE, 44100, 2};
    constexpr std::uint32_t ReadFrames = 441;
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = ReadFrames * 4;
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "larkspur-av-offset", PA_STREAM_RECORD, source,
                                      "heard", &spec, nullptr, &attr, &error);
    if (stream == nullptr) {
        std::fprintf(stderr, "larkspur-av-offset: %s\n", pa_strerror(error));
        return 1;
    }
    std::FILE* raw = std::fopen(rawPath, "wb");
    std::FILE* stamps = std::fopen(stampsPath, "w");
    if (raw == nullptr || stamps == nullptr) {
        std::fprintf(stderr, "larkspur-av-offset: cannot write the recording\n");
        return 1;
    }
    std::int16_t buffer[ReadFrames * 2];
    std::uint64_t frames = 0;
    while (Stop == 0) {
        if (pa_simple_read(stream, buffer, sizeof buffer, &error) < 0) {
            std::fprintf(stderr, "larkspur-av-offset: %s\n", pa_strerror(error));
            break;
        }
        frames += ReadFrames;
        const std::int64_t now = SteadyNs();
        const pa_usec_t latency = pa_simple_get_latency(stream, &error);
        std::fwrite(buffer, sizeof buffer, 1, raw);
        std::fprintf(stamps, "%llu %lld %llu\n", static_cast<unsigned long long>(frames),
                     static_cast<long long>(now), static_cast<unsigned long long>(latency));
    }
    pa_simple_free(stream);
    const bool closed = std::fclose(raw) == 0;
    return std::fclose(stamps) == 0 && closed ? 0 : 1;
}

std::vector<std::int16_t> ReadRaw(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::int16_t> samples;
    std::int16_t chunk[4096];
    while (in.read(reinterpret_cast<char*>(chunk), sizeof chunk) || in.gcount() > 0) {
        samples.insert(samples.end(), chunk,
                       chunk + static_cast<std::size_t>(in.gcount()) / sizeof(std::int16_t));
    }
    return samples;
}

int Offset(char** argv) {
    const std::vector<std::int16_t> song = ReadRaw(argv[2]);
    const std::vector<std::int16_t> heard = ReadRaw(argv[3]);
    std::vector<av_offset::ReadStamp> stamps;
    {
        std::ifstream in(argv[4]);
        av_offset::ReadStamp stamp;
        while (in >> stamp.Frames >> stamp.NowNs >> stamp.LatencyUs) {
            stamps.push_back(stamp);
        }
    }
    std::vector<av_offset::ShownFrame> frames;
    {
        std::ifstream in(argv[5]);
        long long started = 0;
        av_offset::ShownFrame frame;
        while (in >> started >> frame.ShowMs >> frame.ShownNs) {
            frames.push_back(frame);
        }
    }
    // Well above a resampler's ripple on silence, well below the song's first notes.
    constexpr int Threshold = 64;
    const std::int64_t songFirst = av_offset::FirstSound(song, Threshold);
    const std::int64_t heardFirst = av_offset::FirstSound(heard, Threshold);
    if (songFirst < 0 || heardFirst < songFirst || stamps.empty() || frames.empty()) {
        std::fprintf(stderr, "larkspur-av-offset: no song heard, no stamps or no frames\n");
        return 1;
    }
    const double origin = av_offset::RecordingOriginNs(stamps);
    // Second by second of the song, where it is in the recording: a gap makes the rest
    // later. Each second's pictures are set against that second's lag.
    std::vector<double> ahead;
    std::int64_t lag = heardFirst - songFirst;
    int lost = 0;
    for (double fromMs = std::atof(argv[6]); fromMs < std::atof(argv[7]); fromMs += 1000) {
        const auto songFrame = static_cast<std::int64_t>(fromMs * 44.1);
        const std::int64_t found =
            av_offset::SongLag(song, heard, songFrame, lag - 2205, lag + 26460);
        if (found < 0) {
            ++lost;
            continue;
        }
        lag = found;
        const std::vector<double> part =
            av_offset::PictureAheadMs(frames, origin, lag, fromMs, fromMs + 1000);
        ahead.insert(ahead.end(), part.begin(), part.end());
    }
    std::printf("song found in the recording %.1f ms after its onset suggests by the end "
                "(gaps); %d seconds not found\n",
                static_cast<double>(lag - (heardFirst - songFirst)) / 44.1, lost);
    if (ahead.empty()) {
        std::fprintf(stderr, "larkspur-av-offset: no picture shown in that part of the song\n");
        return 1;
    }
    std::vector<double> latencies;
    for (const av_offset::ReadStamp& stamp : stamps) {
        latencies.push_back(static_cast<double>(stamp.LatencyUs) / 1e3);
    }
    std::printf("picture ahead of sound: median %.1f ms, 10%% %.1f, 90%% %.1f (%zu frames); "
                "recording latency median %.1f ms\n",
                av_offset::Quantile(ahead, 0.5), av_offset::Quantile(ahead, 0.1),
                av_offset::Quantile(ahead, 0.9), ahead.size(), av_offset::Quantile(latencies, 0.5));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "record") == 0) {
        return Record(argv[2], argv[3], argv[4]);
    }
    if (argc == 8 && std::strcmp(argv[1], "offset") == 0) {
        return Offset(argv);
    }
    std::fprintf(stderr, "usage: larkspur-av-offset record SOURCE HEARD.raw STAMPS.txt\n"
                         "       larkspur-av-offset offset SONG.raw HEARD.raw STAMPS.txt "
                         "FRAMES.txt FROM_MS TO_MS\n");
    return 2;
}
