// The recording's clock: frame numbers to show times and soundtrack samples. All
// exact integer arithmetic, so picture and sound cannot drift apart.
#include "capture/Capture.h"

std::uint32_t FrameTime(std::uint64_t frame, int fps) {
    return static_cast<std::uint32_t>(frame * 1000u / static_cast<std::uint64_t>(fps));
}

std::uint64_t FirstFrameAtOrAfter(std::uint32_t time, int fps) {
    const std::uint64_t scaled = std::uint64_t{time} * static_cast<std::uint64_t>(fps);
    return (scaled + 999u) / 1000u;
}

std::uint64_t FrameOnScreenAt(std::uint32_t time, int fps) {
    return std::uint64_t{time} * static_cast<std::uint64_t>(fps) / 1000u;
}

std::uint64_t FrameSample(std::uint64_t frame, int fps) {
    return frame * static_cast<std::uint64_t>(SoundtrackRate) / static_cast<std::uint64_t>(fps);
}
