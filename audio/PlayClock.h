// The play clock: how much music has been played, worked out from the last buffer the
// audio callback handed to the device and a monotonic clock, so that readings between
// two callbacks advance smoothly instead of in whole-buffer steps.
#pragma once

#include <atomic>
#include <cstdint>

// What the audio callback knows when it hands a buffer to the device.
struct PlayMark {
    std::uint64_t FramesBefore = 0; // frames handed over before this buffer
    std::uint32_t BufferFrames = 0; // frames in this buffer; 0 before the first callback
    // Steady clock when this buffer is to start sounding: after the sound the device and
    // the server still hold, so usually later than the callback.
    std::int64_t StampNs = 0;
};

// Nanoseconds of sound in a number of frames at a rate (frames per second), exact
// for any count without overflowing.
std::uint64_t FramesToNanoseconds(std::uint64_t frames, std::uint32_t rate);

// How long after SDL's callback for a buffer of deviceFrames that buffer starts to
// sound, when the sound server was asked to hold serverMs in all (0: nothing asked).
// PulseAudio, and PipeWire's Pulse server alike, keep about half of it queued for the
// stream; SDL mixes a buffer when there is room for one, so it goes behind that and
// the buffer before it (as bench/av-offset.sh measures on both servers).
std::uint64_t SoundingDelayNs(int serverMs, std::uint32_t deviceFrames, std::uint32_t rate);

// Nanoseconds played at nowNs: everything before the current buffer, plus the time
// since it started sounding or less the time until it does, never beyond the end of that
// buffer. Before its stamp the sound still playing is the previous buffers', so the
// time runs on from them instead of waiting for the stamp.
std::uint64_t PlayedNanoseconds(const PlayMark& mark, std::int64_t nowNs, std::uint32_t rate);

// The show time for a number of nanoseconds played: milliseconds, modulo 2^32.
inline std::uint32_t PlayedMilliseconds(std::uint64_t ns) {
    return static_cast<std::uint32_t>(ns / 1000000u);
}

// The mark shared between the audio thread, which publishes, and readers on any
// thread. A sequence lock over atomics: readers never block the audio thread and
// never see a half-written mark. Publishers must be serialised (the device lock).
struct SharedPlayMark {
    std::atomic<std::uint32_t> Sequence{0};
    std::atomic<std::uint64_t> FramesBefore{0};
    std::atomic<std::uint32_t> BufferFrames{0};
    std::atomic<std::int64_t> StampNs{0};
};

void PublishPlayMark(SharedPlayMark& shared, const PlayMark& mark);
PlayMark ReadPlayMark(const SharedPlayMark& shared);

// Raises *highest to value if it is higher and returns the result, so that readers
// on several threads never see the time go backwards.
std::uint64_t RaiseToAtLeast(std::atomic<std::uint64_t>& highest, std::uint64_t value);

// The steady clock in nanoseconds.
std::int64_t SteadyNanoseconds();
