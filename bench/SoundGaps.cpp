// larkspur-sound-gaps MIN_MS < raw: counts the gaps in a recording of what reached a sound
// server. The input is raw 16-bit stereo at 44100 Hz (parec --raw, or sox). A gap is a
// run of exact digital silence of at least MIN_MS between the first and the last sound:
// a stream that runs dry is filled with zeros by the server, while music, even quiet,
// is almost never exactly zero for milliseconds on end. Run it on a render of the song
// too, for the silences the song has itself. Prints: gaps, their total ms, the longest.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2 || std::atof(argv[1]) <= 0) {
        std::fprintf(stderr, "usage: larkspur-sound-gaps MIN_MS < recording.raw\n");
        return 2;
    }
    const auto minFrames = static_cast<std::uint64_t>(std::atof(argv[1]) * 44.1);
    std::vector<std::int16_t> buffer(2 * 4096);
    std::uint64_t frame = 0;
    std::uint64_t runStart = 0;
    bool inRun = false;
    bool heard = false;
    std::uint64_t gaps = 0;
    std::uint64_t gapFrames = 0;
    std::uint64_t longest = 0;
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 4, buffer.size() / 2, stdin);
        if (got == 0) {
            break;
        }
        for (std::size_t i = 0; i < got; ++i, ++frame) {
            const bool silent = buffer[2 * i] == 0 && buffer[2 * i + 1] == 0;
            if (silent) {
                if (!inRun) {
                    inRun = true;
                    runStart = frame;
                }
                continue;
            }
            // A run ends at a sound: it counts only with sound before it as well.
            if (inRun && heard && frame - runStart >= minFrames) {
                ++gaps;
                gapFrames += frame - runStart;
                longest = frame - runStart > longest ? frame - runStart : longest;
            }
            inRun = false;
            heard = true;
        }
    }
    std::printf("gaps %llu total_ms %.1f longest_ms %.1f seconds %.1f\n",
                static_cast<unsigned long long>(gaps), gapFrames / 44.1, longest / 44.1,
                frame / 44100.0);
    return 0;
}
