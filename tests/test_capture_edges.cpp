// Smoothing at the edges only: 4 samples where the glyphs, the text and the quads' own
// outlines are, one elsewhere. The frames must come out as with 4 samples everywhere
// (the renderer may round a level differently here and there), and clearly unlike one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <GL/gl.h>

#include "capture/Capture.h"
#include "capture_scene_fixture.h"
#include "show/Layers.h"

namespace {

class CaptureEdges : public CaptureSceneTest {
  protected:
    // The frame on screen at `time` at 10 fps, the show moved there without drawing.
    static std::vector<std::uint8_t> FrameAt(std::uint32_t time, int samples, int width,
                                             int height) {
        std::string error;
        EXPECT_TRUE(OpenFrameTarget(width, height, samples, error)) << error;
        const std::uint64_t frame = FrameOnScreenAt(time, 10);
        SetShowState({});
        for (std::uint64_t n = 0; n < frame; ++n) {
            SkipCaptureFrame(FrameTime(n, 10));
        }
        EXPECT_TRUE(RenderCaptureFrame(FrameTime(frame, 10)));
        std::vector<std::uint8_t> pixels(FrameBytes());
        ReadFrameNow(pixels.data());
        return pixels;
    }

    struct Difference {
        std::size_t Pixels = 0; // differing at all
        std::size_t Large = 0;  // by more than one level
    };
    static Difference Compare(const std::vector<std::uint8_t>& a,
                              const std::vector<std::uint8_t>& b) {
        Difference d;
        for (std::size_t i = 0; i + 3 < a.size(); i += 4) {
            int most = 0;
            for (int c = 0; c < 3; ++c) {
                most = std::max(most, std::abs(a[i + c] - b[i + c]));
            }
            d.Pixels += most > 0 ? 1 : 0;
            d.Large += most > 1 ? 1 : 0;
        }
        return d;
    }
};

TEST_F(CaptureEdges, FramesComeOutAsWithFourSamplesEverywhere) {
    struct Case {
        int Width, Height;
        std::uint32_t Time;
    };
    // The stack with the first credits, the shimmer's start, glyphs and text all over,
    // a frame in the picture show's fade (its quad's sides inside the picture), a size
    // whose picture is not a whole number of tiles.
    const Case cases[] = {{800, 450, 12600}, {800, 450, 16000}, {800, 450, 30000},
                          {800, 450, 50000}, {800, 450, 70000}, {960, 720, 10500},
                          {642, 482, 47000}};
    EdgeSmoothingDone = {};
    for (const Case& c : cases) {
        const std::string where = std::to_string(c.Width) + "x" + std::to_string(c.Height) +
                                  " at " + std::to_string(c.Time);
        const std::vector<std::uint8_t> four = FrameAt(c.Time, 4, c.Width, c.Height);
        const std::vector<std::uint8_t> one = FrameAt(c.Time, 1, c.Width, c.Height);
        const std::vector<std::uint8_t> edges = FrameAt(c.Time, SamplesAtEdges, c.Width, c.Height);
        const Difference fromFour = Compare(edges, four);
        const Difference fromOne = Compare(edges, one);
        EXPECT_EQ(fromFour.Large, 0u) << where;
        EXPECT_LT(fromFour.Pixels, edges.size() / 4 / 200) << where;
        // One sample leaves the edges ragged: the comparison above means something.
        EXPECT_GT(fromOne.Large, 10 * fromFour.Pixels + 100) << where;
    }
    // And 4 samples were not simply drawn everywhere.
    const EdgeSmoothingCounts& done = EdgeSmoothingDone;
    EXPECT_GT(done.PlainRects, done.Frames);
    EXPECT_LT(done.SampledPixels, done.PicturePixels * 3 / 4);
}

TEST_F(CaptureEdges, FrameThatEndsTheShowLeavesTheDrawingAsTheShowExpects) {
    std::string error;
    ASSERT_TRUE(OpenFrameTarget(320, 180, SamplesAtEdges, error)) << error;
    SetShowState({});
    EXPECT_FALSE(RenderCaptureFrame(84000));
    GLint mode = 0;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    EXPECT_EQ(mode, GL_RENDER);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0));
    // The frame before the end still draws, into the frame that is read.
    EXPECT_TRUE(RenderCaptureFrame(83900));
    std::vector<std::uint8_t> pixels(FrameBytes());
    ReadFrameNow(pixels.data());
    std::size_t lit = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        lit += (pixels[i] | pixels[i + 1] | pixels[i + 2]) != 0 ? 1 : 0;
    }
    EXPECT_GT(lit, pixels.size() / 4 / 2);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
