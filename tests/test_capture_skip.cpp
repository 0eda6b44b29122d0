// Late stills and late starts: the frames before them are not drawn, the show is moved
// past them. What is drawn afterwards must be what drawing every frame gives, to the byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/Capture.h"
#include "capture_scene_fixture.h"
#include "show/Layers.h"

namespace {

class CaptureSkip : public CaptureSceneTest {
  protected:
    static std::vector<std::uint8_t> Read() {
        std::vector<std::uint8_t> pixels(FrameBytes());
        ReadFrameNow(pixels.data());
        return pixels;
    }

    // Frame `last` at `fps`, drawing every frame from 0 or only that one.
    static std::vector<std::uint8_t> Frame(std::uint64_t last, int fps, bool drawEvery) {
        SetShowState({});
        for (std::uint64_t n = 0; n < last; ++n) {
            const std::uint32_t t = FrameTime(n, fps);
            EXPECT_TRUE(drawEvery ? RenderCaptureFrame(t) : SkipCaptureFrame(t)) << t;
        }
        EXPECT_TRUE(RenderCaptureFrame(FrameTime(last, fps)));
        return Read();
    }
};

// The first test to draw: its first frame is the first this context ever draws, as in a
// recorder that starts late.
TEST_F(CaptureSkip, LateFramesComeOutAsWhenEveryFrameIsDrawn) {
    struct Case {
        int Width, Height, Samples, Fps;
        std::uint32_t Time;
    };
    // A title frame, the first with the stack and credits, the shimmer's first frames,
    // then late ones at rates that take the picture show through its changes differently.
    const Case cases[] = {
        {160, 120, 1, 10, 12600},
        {160, 120, 1, 10, 16000},
        {320, 180, 4, 10, 30000},
        {320, 240, 1, 24, 14100},
        {96, 54, 4, 7, 50000},
        {160, 120, 1, 60, 9000},
        {400, 300, SamplesAtEdges, 10, 30000},
    };
    std::string error;
    for (const Case& c : cases) {
        ASSERT_TRUE(OpenFrameTarget(c.Width, c.Height, c.Samples, error)) << error;
        const std::uint64_t frame = FrameOnScreenAt(c.Time, c.Fps);
        const std::vector<std::uint8_t> skipped = Frame(frame, c.Fps, false);
        const std::vector<std::uint8_t> drawn = Frame(frame, c.Fps, true);
        EXPECT_TRUE(skipped == drawn) << c.Width << "x" << c.Height << ", " << c.Samples
                                      << " sample(s), " << c.Fps << " fps, at " << c.Time;
    }
}

// Every state change the layers make, at rates that put the picture show's changes in
// different frames, against the state moved on without drawing.
TEST_F(CaptureSkip, MovingOnWithoutDrawingChangesTheStateAsDrawingDoes) {
    std::string error;
    ASSERT_TRUE(OpenFrameTarget(16, 12, 1, error)) << error;
    for (const int fps : {30, 7, 1000}) {
        SetShowState({});
        // At 1000 fps the whole show takes too long: from the end of the title to past the
        // shimmer's start holds every kind of change.
        const std::uint64_t from = fps == 1000 ? 9500 : 0;
        const std::uint64_t frames = fps == 1000 ? 15500 : FirstFrameAtOrAfter(ShowEndTime, fps);
        for (std::uint64_t n = 0; n < from; ++n) {
            SkipCaptureFrame(FrameTime(n, fps));
        }
        ShowState expected = CurrentShowState();
        int changes = 0;
        for (std::uint64_t n = from; n < frames; ++n) {
            const std::uint32_t t = FrameTime(n, fps);
            const ShowState before = expected;
            expected = StateAfterFrame(before, t);
            changes += expected.Picture == before.Picture ? 0 : 1;
            ASSERT_TRUE(RenderCaptureFrame(t)) << t;
            const ShowState drawn = CurrentShowState();
            ASSERT_TRUE(drawn == expected) << fps << " fps, frame " << n << " at " << t << " ms";
        }
        EXPECT_GT(changes, 10) << "the picture show must change many times";
    }
}

TEST_F(CaptureSkip, ShowEndsInsideTheFrameAt84000) {
    SetShowState({});
    EXPECT_TRUE(SkipCaptureFrame(83999));
    EXPECT_FALSE(SkipCaptureFrame(84000));
    EXPECT_FALSE(SkipCaptureFrame(90000));
}

} // namespace
