// The recorder at sizes other than the show's window: the default frames unchanged to
// the byte, the 4:3 picture centred between black bars, and the same pictures on every
// run at a larger size.
#include <gtest/gtest.h>

#include <vector>

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

// Frames 0, 81, 125 and 150 of a 10 fps recording (title, spinning glyph, picture show,
// shimmer) as the recorder drew them before it could draw at other sizes. A change
// here changes every default recording.
TEST(CaptureSize, DefaultFramesAreUnchanged) {
    std::string error;
    ASSERT_TRUE(OpenCaptureScene(error)) << error;
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
