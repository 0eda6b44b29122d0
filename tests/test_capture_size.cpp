// The recorder at sizes other than the show's window: the default frames unchanged to
// the byte, the 4:3 picture centred between black bars, and the same pictures on every
// run at a larger size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <GL/gl.h>

#include "capture/Capture.h"

// FNV-1a over the colour bytes (alpha reaches no video or still).
static std::uint64_t ColourHash(const std::vector<std::uint8_t>& bgra) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::size_t i = 0; i < bgra.size(); ++i) {
        if (i % 4 != 3) {
            h = (h ^ bgra[i]) * 1099511628211ull;
        }
    }
    return h;
}

// The scene is opened once per process; the stored frames need it fresh, so they come
// first.
static bool OpenScene(std::string& error) {
    static bool opened = false;
    static std::string why;
    if (!opened && why.empty()) {
        opened = OpenCaptureScene(why);
    }
    error = why;
    return opened;
}

// Frames 0, 81, 125 and 150 of a 10 fps recording (title, spinning glyph, picture show,
// shimmer) as the recorder drew them before it could draw at other sizes. A change
// here changes every default recording.
TEST(CaptureSize, DefaultFramesAreUnchanged) {
    std::string error;
    ASSERT_TRUE(OpenScene(error)) << error;
    const std::pair<std::uint64_t, std::uint64_t> expected[] = {
        {0, 0x4bd87a07a4536325ull},
        {81, 0xd95a6ca884eee76cull},
        {125, 0x56151653e0995288ull},
        {150, 0x5d1e0d039330bd61ull},
    };
    std::vector<std::uint8_t> pixels(CaptureFrameBytes);
    std::uint64_t n = 0;
    for (const auto& [frame, hash] : expected) {
        for (; n <= frame; ++n) {
            ASSERT_TRUE(RenderCaptureFrame(FrameTime(n, 10)));
        }
        ReadFrameNow(pixels.data());
        EXPECT_EQ(ColourHash(pixels), hash) << "frame " << frame;
    }
}

TEST(CaptureSize, PictureIsTheLargestCentred4By3Rectangle) {
    struct Case {
        int Width, Height, X, Y, PictureWidth, PictureHeight;
    };
    const Case cases[] = {
        {640, 480, 0, 0, 640, 480},       {1920, 1080, 240, 0, 1440, 1080},
        {3840, 2160, 480, 0, 2880, 2160}, {640, 960, 0, 240, 640, 480},
        {1280, 960, 0, 0, 1280, 960},     {2, 2, 0, 0, 2, 2},
        {1000, 1000, 0, 125, 1000, 750},  {3840, 2, 1918, 0, 3, 2},
    };
    for (const Case& c : cases) {
        const PictureRect r = PictureRectFor(c.Width, c.Height);
        EXPECT_EQ(r.X, c.X) << c.Width << "x" << c.Height;
        EXPECT_EQ(r.Y, c.Y) << c.Width << "x" << c.Height;
        EXPECT_EQ(r.Width, c.PictureWidth) << c.Width << "x" << c.Height;
        EXPECT_EQ(r.Height, c.PictureHeight) << c.Width << "x" << c.Height;
    }
}

// Whether any colour byte of the pixel is lit.
static bool Lit(const std::vector<std::uint8_t>& bgra, int width, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
    return bgra[i] != 0 || bgra[i + 1] != 0 || bgra[i + 2] != 0;
}

// Clears the frame and sets up flat white drawing in clip coordinates (the projection
// is pushed: the caller pops it).
static void BeginFlatWhite() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 1);
}

// Ends what BeginFlatWhite started, puts the show's state back and reads the frame.
static std::vector<std::uint8_t> EndFlatWhite() {
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    std::vector<std::uint8_t> pixels(FrameBytes());
    ReadFrameNow(pixels.data());
    return pixels;
}

// Fills the viewport with white through identity matrices, as far as the projection
// can reach, and reads the frame back.
static std::vector<std::uint8_t> ViewportFilled() {
    BeginFlatWhite();
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    std::vector<std::uint8_t> pixels = EndFlatWhite();
    return pixels;
}

// Runs after the stored frames: it reuses the scene they opened.
TEST(CaptureSize, BarsAreBlackAndThePictureFillsTheViewport) {
    std::string error;
    ASSERT_TRUE(OpenScene(error)) << error;
    struct Case {
        int Width, Height, Samples;
    };
    for (const Case c : {Case{1920, 1080, 1}, Case{640, 960, 1}, Case{1920, 1080, 4}}) {
        ASSERT_TRUE(OpenFrameTarget(c.Width, c.Height, c.Samples, error)) << error;
        ASSERT_EQ(FrameWidth(), c.Width);
        const PictureRect r = PictureRectFor(c.Width, c.Height);
        const int top = c.Height - r.Y - r.Height; // rows counted from the top
        const auto filled = ViewportFilled();
        const std::string where = std::to_string(c.Width) + "x" + std::to_string(c.Height);
        for (int y = 0; y < c.Height; ++y) {
            for (int x = 0; x < c.Width; ++x) {
                const bool inside = x >= r.X && x < r.X + r.Width && y >= top && y < top + r.Height;
                ASSERT_EQ(Lit(filled, c.Width, x, y), inside) << where << " at " << x << "," << y;
            }
        }
        // A whole frame of the show (the shimmer covers everything) leaves the bars black.
        ASSERT_TRUE(RenderCaptureFrame(15100));
        std::vector<std::uint8_t> frame(FrameBytes());
        ReadFrameNow(frame.data());
        std::size_t litInBars = 0;
        std::size_t litInside = 0;
        for (int y = 0; y < c.Height; ++y) {
            for (int x = 0; x < c.Width; ++x) {
                const bool inside = x >= r.X && x < r.X + r.Width && y >= top && y < top + r.Height;
                (inside ? litInside : litInBars) += Lit(frame, c.Width, x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(litInBars, 0u) << where;
        EXPECT_GT(litInside, std::size_t(r.Width) * r.Height / 2) << where;
    }
}

TEST(CaptureSize, SamplesSmoothEdges) {
    std::string error;
    ASSERT_TRUE(OpenScene(error)) << error;
    // A slanted edge: one sample gives only black or white, several give greys between.
    auto greys = [&](int samples) {
        EXPECT_TRUE(OpenFrameTarget(640, 480, samples, error)) << error;
        BeginFlatWhite();
        glBegin(GL_TRIANGLES);
        glVertex2f(-1, -1);
        glVertex2f(1, -1);
        glVertex2f(1, 0.7f);
        std::vector<std::uint8_t> pixels = EndFlatWhite();
        std::size_t n = 0;
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            n += pixels[i + 1] != 0 && pixels[i + 1] != 255 ? 1 : 0;
        }
        return n;
    };
    EXPECT_EQ(greys(1), 0u);
    EXPECT_GT(greys(4), 300u) << "the multisampled frame must be resolved, not read raw";
    EXPECT_EQ(FrameSamples(), 4);
}
