// larkspur-sound-match SONG RECORDING.wav SECONDS: does a recording of what the show played
// hold the song? Renders the song's first SECONDS with libopenmpt as the player does and
// compares it with the recording by normalised cross-correlation. Prints the figures;
// exits 0 when the best match is above 0.9 and the recording is not silence, 1 when not,
// 2 when the files cannot be read.
//
// The recording starts before the show plays, so both are first lined up at the first
// sound in each, then the lag is searched a second either way: start-up jitter and the
// sound server's buffering move the song's start within the recording.
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int Rate = 44100;
// Compared at a quarter of the rate: plenty for music, and a quarter of the work.
constexpr int Step = 4;
constexpr int CompareRate = Rate / Step;
constexpr float SoundThreshold = 1e-3f;

std::vector<char> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t Le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::uint16_t Le16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

// Interleaved 16-bit stereo at 44100 Hz from a WAV file; a data size left unfinished by
// a recorder that was stopped counts as "to the end of the file".
bool ReadWav(const char* path, std::vector<std::int16_t>& samples, std::string& error) {
    const std::vector<char> file = ReadFile(path);
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        error = "not a WAV file";
        return false;
    }
    bool formatSeen = false;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const char* chunk = file.data() + at;
        const std::size_t size = Le32(chunk + 4);
        const std::size_t body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || body + 16 > file.size() || Le16(chunk + 8) != 1 ||
                Le16(chunk + 10) != 2 || Le32(chunk + 12) != Rate || Le16(chunk + 22) != 16) {
                error = "not 16-bit PCM stereo at 44100 Hz";
                return false;
            }
            formatSeen = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!formatSeen) {
                error = "data before format";
                return false;
            }
            const std::size_t available = file.size() - body;
            const std::size_t bytes = size <= available ? size : available;
            samples.resize(bytes / 2);
            std::memcpy(samples.data(), file.data() + body, samples.size() * 2);
            return true;
        }
        at = body + size + (size & 1);
    }
    error = "no sound data";
    return false;
}

// Stereo to mono at the comparison rate, each value the mean of Step frames.
std::vector<float> Reduce(const std::vector<std::int16_t>& stereo) {
    std::vector<float> out(stereo.size() / 2 / Step);
    for (std::size_t i = 0; i < out.size(); ++i) {
        float sum = 0.0f;
        for (int k = 0; k < Step; ++k) {
            const std::size_t frame = i * Step + static_cast<std::size_t>(k);
            sum +=
                static_cast<float>(stereo[2 * frame]) + static_cast<float>(stereo[2 * frame + 1]);
        }
        out[i] = sum / (2.0f * Step * 32768.0f);
    }
    return out;
}

std::size_t FirstSound(const std::vector<float>& signal) {
    for (std::size_t i = 0; i < signal.size(); ++i) {
        if (std::fabs(signal[i]) > SoundThreshold) {
            return i;
        }
    }
    return signal.size();
}

double Correlation(const float* a, const float* b, std::size_t n) {
    double ab = 0.0;
    double aa = 0.0;
    double bb = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        ab += static_cast<double>(a[i]) * b[i];
        aa += static_cast<double>(a[i]) * a[i];
        bb += static_cast<double>(b[i]) * b[i];
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: larkspur-sound-match SONG RECORDING.wav SECONDS\n");
        return 2;
    }
    const int seconds = std::atoi(argv[3]);
    if (seconds <= 0 || seconds > 60) {
        std::fprintf(stderr, "SECONDS must be 1 to 60\n");
        return 2;
    }
    std::vector<std::int16_t> rendered(static_cast<std::size_t>(2 * Rate * (seconds + 1)));
    try {
        const std::vector<char> song = ReadFile(argv[1]);
        openmpt::module module(song);
        std::size_t done = 0;
        const std::size_t frames = rendered.size() / 2;
        while (done < frames) {
            const std::size_t got =
                module.read_interleaved_stereo(Rate, frames - done, rendered.data() + 2 * done);
            if (got == 0) {
                break;
            }
            done += got;
        }
        rendered.resize(2 * done);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.what());
        return 2;
    }
    std::vector<std::int16_t> recorded;
    std::string error;
    if (!ReadWav(argv[2], recorded, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
        return 2;
    }

    const std::vector<float> expected = Reduce(rendered);
    const std::vector<float> heard = Reduce(recorded);
    const std::size_t window = static_cast<std::size_t>(seconds) * CompareRate;
    const std::size_t expectedStart = FirstSound(expected);
    const std::size_t heardStart = FirstSound(heard);
    if (expectedStart + window > expected.size()) {
        std::fprintf(stderr, "the song is shorter than %d s\n", seconds);
        return 2;
    }
    if (heardStart == heard.size()) {
        std::printf("silence: nothing was heard\n");
        return 1;
    }
    // A quarter of a second at a time: a sound server that ran short of sound for a
    // moment (a busy machine) plays silence and shifts everything after it, so each piece
    // finds its own lag, from a little before the last one to a good way after it. A few
    // pieces with a gap in them score low; the median says whether the rest is the song.
    const std::size_t piece = CompareRate / 4;
    const std::size_t pieces = window / piece;
    std::vector<double> scores;
    long drift = 0;
    bool anchored = false;
    double power = 0.0;
    for (std::size_t k = 0; k < pieces; ++k) {
        // Until one piece has matched well the search stays a second either way: an output
        // that loses the song's first moments puts no piece near the first sound heard.
        const long before = anchored ? CompareRate / 100 : CompareRate;
        const long after = anchored ? CompareRate / 2 : CompareRate;
        const std::size_t want = expectedStart + k * piece;
        const long nominal = static_cast<long>(heardStart + k * piece);
        double best = -1.0;
        long bestLag = drift;
        for (long lag = drift - before; lag <= drift + after; ++lag) {
            const long at = nominal + lag;
            if (at < 0 || static_cast<std::size_t>(at) + piece > heard.size()) {
                continue;
            }
            const double c = Correlation(expected.data() + want, heard.data() + at, piece);
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        if (best < -0.5) {
            std::printf("too short: %.2f s heard after the first sound, want %d s\n",
                        static_cast<double>(heard.size() - heardStart) / CompareRate, seconds);
            return 1;
        }
        // A piece that matched nothing well says nothing about where the next one is. The
        // narrow search waits for a near-perfect match: what is left of a damaged opening
        // can match a place close to the right one fairly well.
        if (best > 0.9) {
            drift = bestLag;
        }
        if (best > 0.97) {
            anchored = true;
        }
        const std::size_t from = static_cast<std::size_t>(nominal + bestLag);
        for (std::size_t i = from; i < from + piece; ++i) {
            power += static_cast<double>(heard[i]) * heard[i];
        }
        scores.push_back(best);
    }
    const double rms = std::sqrt(power / static_cast<double>(pieces * piece));
    std::vector<double> sorted = scores;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::printf("median correlation %.3f over %zu pieces of 250 ms (lowest %.3f), the song "
                "%.0f ms later than its first sound at the end, rms %.4f\n",
                median, pieces, sorted.front(), 1000.0 * static_cast<double>(drift) / CompareRate,
                rms);
    return median > 0.9 && rms > 0.005 ? 0 : 1;
}
