// The play clock arithmetic and the lock-free hand-over of the audio callback's mark.
#include "audio/PlayClock.h"

#include <algorithm>
#include <chrono>
#include <thread>

std::uint64_t FramesToNanoseconds(std::uint64_t frames, std::uint32_t rate) {
    if (rate == 0) {
        return 0;
    }
    // Whole seconds and the remainder separately keep the product far from overflow.
    return frames / rate * 1000000000u + frames % rate * 1000000000u / rate;
}

std::uint64_t SoundingDelayNs(int serverMs, std::uint32_t deviceFrames, std::uint32_t rate) {
    if (serverMs <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(serverMs) * 500000u + FramesToNanoseconds(deviceFrames, rate);
}

std::uint64_t PlayedNanoseconds(const PlayMark& mark, std::int64_t nowNs, std::uint32_t rate) {
    const std::uint64_t before = FramesToNanoseconds(mark.FramesBefore, rate);
    const std::uint64_t buffer = FramesToNanoseconds(mark.BufferFrames, rate);
    if (nowNs < mark.StampNs) {
        const auto until = static_cast<std::uint64_t>(mark.StampNs - nowNs);
        return before > until ? before - until : 0u;
    }
    // Rounding down each part keeps before + buffer within the next mark's start. A
    // callback that comes early can still give a little less than the last reading:
    // readers keep the highest (RaiseToAtLeast).
    return before + std::min(static_cast<std::uint64_t>(nowNs - mark.StampNs), buffer);
}

// A sequence lock without fences (which thread sanitisers cannot follow): the fields
// are written with release and read with acquire, so a reader that sees any field of a
// newer publish also sees the odd sequence number that came before it.
void PublishPlayMark(SharedPlayMark& shared, const PlayMark& mark) {
    const std::uint32_t sequence = shared.Sequence.load(std::memory_order_relaxed);
    shared.Sequence.store(sequence + 1, std::memory_order_relaxed);
    shared.FramesBefore.store(mark.FramesBefore, std::memory_order_release);
    shared.BufferFrames.store(mark.BufferFrames, std::memory_order_release);
    shared.StampNs.store(mark.StampNs, std::memory_order_release);
    shared.Sequence.store(sequence + 2, std::memory_order_release);
}

PlayMark ReadPlayMark(const SharedPlayMark& shared) {
    for (;;) {
        const std::uint32_t first = shared.Sequence.load(std::memory_order_acquire);
        PlayMark mark;
        mark.FramesBefore = shared.FramesBefore.load(std::memory_order_acquire);
        mark.BufferFrames = shared.BufferFrames.load(std::memory_order_acquire);
        mark.StampNs = shared.StampNs.load(std::memory_order_acquire);
        const std::uint32_t second = shared.Sequence.load(std::memory_order_relaxed);
        if (first == second && (first & 1u) == 0) {
            return mark;
        }
        // The audio thread is part-way through a publish: let it finish.
        std::this_thread::yield();
    }
}

std::uint64_t RaiseToAtLeast(std::atomic<std::uint64_t>& highest, std::uint64_t value) {
    std::uint64_t seen = highest.load(std::memory_order_relaxed);
    while (seen < value && !highest.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
    }
    return std::max(seen, value);
}

std::int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
