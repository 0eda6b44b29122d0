// The play clock: its arithmetic, its smoothness between callbacks, and the hand-over
// of the callback's mark to readers on other threads.
#include <gtest/gtest.h>

#include "audio/PlayClock.h"

#include <thread>

static constexpr std::uint32_t Rate = 44100;
static constexpr std::uint32_t Buffer = 1024;
static const std::uint64_t BufferNs = FramesToNanoseconds(Buffer, Rate);

TEST(PlayClock, FramesToNanosecondsIsExactAndDoesNotOverflow) {
    EXPECT_EQ(FramesToNanoseconds(44100, Rate), 1000000000u);
    EXPECT_EQ(FramesToNanoseconds(441, Rate), 10000000u);
    EXPECT_EQ(FramesToNanoseconds(1024, Rate), 23219954u);
    // Ten million seconds of sound: a plain frames * 1e9 would overflow.
    EXPECT_EQ(FramesToNanoseconds(44100ull * 10000000ull + 441, Rate),
              10000000ull * 1000000000ull + 10000000u);
    EXPECT_EQ(FramesToNanoseconds(1000, 0), 0u);
    // The show time wraps like an unsigned 32-bit count of milliseconds.
    EXPECT_EQ(PlayedMilliseconds(999999), 0u);
    EXPECT_EQ(PlayedMilliseconds(84000000000ull), 84000u);
    EXPECT_EQ(PlayedMilliseconds((0x100000000ull + 5) * 1000000ull), 5u);
}

TEST(PlayClock, AdvancesWithTheClockWithinTheBufferOnly) {
    const PlayMark mark{44100, Buffer, 5000000};
    // Before the first callback nothing has played, however long we wait.
    EXPECT_EQ(PlayedNanoseconds(PlayMark{}, 9000000000, Rate), 0u);
    // At the callback: everything before the buffer.
    EXPECT_EQ(PlayedNanoseconds(mark, 5000000, Rate), 1000000000u);
    // Before the buffer sounds, the earlier ones still play: 1 ms to go is 1 ms less.
    EXPECT_EQ(PlayedNanoseconds(mark, 4000000, Rate), 999000000u);
    // Never below nothing, however far ahead the first buffer is stamped.
    EXPECT_EQ(PlayedNanoseconds(PlayMark{0, Buffer, 90000000}, 5000000, Rate), 0u);
    // Part-way through the buffer.
    EXPECT_EQ(PlayedNanoseconds(mark, 5000000 + 7000000, Rate), 1007000000u);
    // The device is late for the next buffer: the clock stops at the end of this one.
    EXPECT_EQ(PlayedNanoseconds(mark, 5000000 + 80000000, Rate), 1000000000u + BufferNs);
}

// Callbacks arrive early, late and in bursts, as a busy machine delivers them; reads
// come every 2 ms. The time must never go back, never pass the sound handed over, and
// change between callbacks instead of stepping once per buffer.
TEST(PlayClock, IrregularCallbacksGiveAMonotonicSmoothClock) {
    const std::int64_t gapsMs[] = {23, 23, 40, 2, 1, 23, 60, 23, 10, 23, 23, 30, 5, 23};
    PlayMark mark;
    std::int64_t callbackAt = 1000000000;
    std::uint64_t handed = 0;
    std::uint64_t last = 0;
    int readings = 0;
    int changes = 0;
    for (std::int64_t gap : gapsMs) {
        mark = PlayMark{handed, Buffer, callbackAt};
        handed += Buffer;
        const std::int64_t next = callbackAt + gap * 1000000;
        for (std::int64_t now = callbackAt; now < next; now += 2000000) {
            const std::uint64_t played = PlayedNanoseconds(mark, now, Rate);
            ASSERT_GE(played, last) << "at " << now;
            ASSERT_LE(played, FramesToNanoseconds(handed, Rate));
            changes += played != last;
            last = played;
            ++readings;
        }
        callbackAt = next;
    }
    // A staircase would change once per callback (14 times).
    EXPECT_GT(changes, 3 * 14);
    EXPECT_GT(readings, changes);
}

// A server that holds sound: each buffer is stamped to sound some time after its
// callback, two buffers and a bit here. The clock runs that far behind what was handed
// over, evenly, with no step where one mark replaces the last.
TEST(PlayClock, BuffersStampedAheadGiveAnEvenClockThatFollowsTheSound) {
    const std::int64_t latencyNs = 2 * static_cast<std::int64_t>(BufferNs) + 3000000;
    const std::int64_t firstCallback = 1000000000;
    std::uint64_t last = 0;
    for (std::uint64_t k = 0; k < 20; ++k) {
        const std::int64_t callbackAt = firstCallback + static_cast<std::int64_t>(k * BufferNs);
        const PlayMark mark{k * Buffer, Buffer, callbackAt + latencyNs};
        for (std::int64_t now = callbackAt; now < callbackAt + static_cast<std::int64_t>(BufferNs);
             now += 1000000) {
            const std::uint64_t played = PlayedNanoseconds(mark, now, Rate);
            // What has sounded by now: the first buffer started at firstCallback + latency.
            const std::int64_t sounded = now - firstCallback - latencyNs;
            const std::uint64_t expected = sounded > 0 ? static_cast<std::uint64_t>(sounded) : 0u;
            // Within the rounding of frames to nanoseconds (under 1 ns a buffer).
            ASSERT_LE(played, expected + 25) << "buffer " << k << " at " << now;
            ASSERT_GE(played + 25, expected) << "buffer " << k << " at " << now;
            ASSERT_GE(played + 25, last) << "buffer " << k << " at " << now;
            last = played;
        }
    }
    EXPECT_GT(last, 15 * BufferNs);
}

TEST(PlayClock, SoundingDelayIsHalfWhatTheServerHoldsAndOneBuffer) {
    // 200 ms asked, a 1024-frame buffer.
    EXPECT_EQ(SoundingDelayNs(200, Buffer, Rate), 100000000u + BufferNs);
    EXPECT_EQ(SoundingDelayNs(1000, 44100, Rate), 1500000000u);
    // Nothing asked, or nonsense: no delay, as the device's own pace gives.
    EXPECT_EQ(SoundingDelayNs(0, Buffer, Rate), 0u);
    EXPECT_EQ(SoundingDelayNs(-200, Buffer, Rate), 0u);
}

TEST(PlayClock, RaiseToAtLeastKeepsTheHighest) {
    std::atomic<std::uint64_t> highest{0};
    EXPECT_EQ(RaiseToAtLeast(highest, 50), 50u);
    EXPECT_EQ(RaiseToAtLeast(highest, 20), 50u);
    EXPECT_EQ(RaiseToAtLeast(highest, 51), 51u);
    EXPECT_EQ(highest.load(), 51u);
}

// A reader racing the publisher sees whole marks only, in publishing order (run under
// the thread sanitiser too, which follows the hand-over).
TEST(PlayClock, SharedMarkIsNeverTorn) {
    constexpr std::uint64_t Marks = 100000;
    SharedPlayMark shared;
    std::atomic<bool> reading{false};
    std::atomic<bool> done{false};
    std::thread writer([&] {
        while (!reading.load()) {
            std::this_thread::yield();
        }
        for (std::uint64_t k = 1; k <= Marks; ++k) {
            PublishPlayMark(shared, PlayMark{k * Buffer, Buffer, static_cast<std::int64_t>(k * 7)});
        }
        done = true;
    });
    // Lets the writer finish on every way out, failed assertions included.
    struct Joiner {
        std::atomic<bool>& Reading;
        std::thread& Thread;
        ~Joiner() {
            Reading = true;
            Thread.join();
        }
    } joiner{reading, writer};
    reading = true;
    std::uint64_t lastFrames = 0;
    for (bool finished = false; !finished;) {
        finished = done.load();
        const PlayMark mark = ReadPlayMark(shared);
        if (mark.BufferFrames == 0) {
            ASSERT_EQ(mark.FramesBefore, 0u);
            continue;
        }
        ASSERT_EQ(mark.BufferFrames, Buffer);
        ASSERT_EQ(mark.FramesBefore % Buffer, 0u);
        ASSERT_EQ(static_cast<std::uint64_t>(mark.StampNs), mark.FramesBefore / Buffer * 7);
        ASSERT_GE(mark.FramesBefore, lastFrames);
        lastFrames = mark.FramesBefore;
    }
    EXPECT_EQ(lastFrames, Marks * Buffer);
}
