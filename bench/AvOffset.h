// The arithmetic of the picture-against-sound benchmark (bench/av-offset.sh): where the
// song starts in a recording of what a sink played, when each recorded frame was heard
// on the steady clock, and how far each shown picture's show time is from the song time
// heard as it was shown.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace av_offset {

constexpr double Rate = 44100.0;

// The first stereo frame of interleaved 16-bit sound where either channel's magnitude
// reaches `threshold`; -1 when none does.
inline std::int64_t FirstSound(const std::vector<std::int16_t>& samples, int threshold) {
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        if (std::abs(samples[i]) >= threshold || std::abs(samples[i + 1]) >= threshold) {
            return static_cast<std::int64_t>(i / 2);
        }
    }
    return -1;
}

// Where the song's frame songFrame is in the recording, as a lag (recorded frame less song
// frame) from lagFrom to lagTo: the lag at which a quarter second of the song from there
// matches the recording best (normalised correlation of the left channels, found
// coarsely and then to the frame). A recording that ran dry is later after each gap, so
// the lag is found afresh for every part of the song. -1 when nothing fits.
inline std::int64_t SongLag(const std::vector<std::int16_t>& song,
                            const std::vector<std::int16_t>& heard, std::int64_t songFrame,
                            std::int64_t lagFrom, std::int64_t lagTo) {
    constexpr std::int64_t Window = 11025;
    const auto songFrames = static_cast<std::int64_t>(song.size() / 2);
    const auto heardFrames = static_cast<std::int64_t>(heard.size() / 2);
    if (songFrame < 0 || songFrame + Window > songFrames) {
        return -1;
    }
    const auto score = [&](std::int64_t lag, std::int64_t step) {
        if (lag < 0 || songFrame + lag + Window > heardFrames) {
            return -2.0;
        }
        double both = 0, a = 0, b = 0;
        for (std::int64_t k = 0; k < Window; k += step) {
            const double x = song[static_cast<std::size_t>(2 * (songFrame + k))];
            const double y = heard[static_cast<std::size_t>(2 * (songFrame + lag + k))];
            both += x * y;
            a += x * x;
            b += y * y;
        }
        return a > 0 && b > 0 ? both / std::sqrt(a * b) : -2.0;
    };
    std::int64_t best = -1;
    double bestScore = 0.5;
    for (std::int64_t lag = lagFrom; lag <= lagTo; lag += 8) {
        const double value = score(lag, 4);
        if (value > bestScore) {
            bestScore = value;
            best = lag;
        }
    }
    if (best < 0) {
        return -1;
    }
    const std::int64_t coarse = best;
    bestScore = -2.0;
    for (std::int64_t lag = coarse - 8; lag <= coarse + 8; ++lag) {
        const double value = score(lag, 1);
        if (value > bestScore) {
            bestScore = value;
            best = lag;
        }
    }
    return best;
}

// What the recorder noted after one read: the frames read so far, the steady clock then
// and the latency the server reported for the stream (the age of the next frame to read).
struct ReadStamp {
    std::uint64_t Frames = 0;
    std::int64_t NowNs = 0;
    std::uint64_t LatencyUs = 0;
};

// The steady-clock time of recorded frame 0 that the stamps agree on best (the median of
// what each one says), so that frame n was heard at origin + n / Rate. 0 with no stamps.
inline double RecordingOriginNs(const std::vector<ReadStamp>& stamps) {
    std::vector<double> origins;
    origins.reserve(stamps.size());
    for (const ReadStamp& stamp : stamps) {
        origins.push_back(static_cast<double>(stamp.NowNs) -
                          static_cast<double>(stamp.LatencyUs) * 1e3 -
                          static_cast<double>(stamp.Frames) * 1e9 / Rate);
    }
    if (origins.empty()) {
        return 0.0;
    }
    std::nth_element(origins.begin(), origins.begin() + origins.size() / 2, origins.end());
    return origins[origins.size() / 2];
}

struct ShownFrame {
    std::uint32_t ShowMs = 0;
    std::int64_t ShownNs = 0;
};

// How far ahead of the sound each picture was, in ms (negative: behind): its show time
// less the song time heard when it was shown. Recorded frame n was heard at originNs +
// n / Rate; song frame m is recorded frame m + songLag. Only pictures shown while the
// song was heard between fromMs and toMs count.
inline std::vector<double> PictureAheadMs(const std::vector<ShownFrame>& frames, double originNs,
                                          std::int64_t songLag, double fromMs, double toMs) {
    std::vector<double> ahead;
    const double songStartNs = originNs + static_cast<double>(songLag) * 1e9 / Rate;
    for (const ShownFrame& frame : frames) {
        const double heardMs = (static_cast<double>(frame.ShownNs) - songStartNs) / 1e6;
        if (heardMs >= fromMs && heardMs <= toMs) {
            ahead.push_back(static_cast<double>(frame.ShowMs) - heardMs);
        }
    }
    return ahead;
}

// The value at fraction q (0 to 1) of the sorted values; 0 for none.
inline double Quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

} // namespace av_offset
