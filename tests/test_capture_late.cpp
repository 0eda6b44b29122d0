// Late frames at full size: drawn after moving the show past the frames before them,
// they must be what drawing every frame from 0 gives, to the byte; and the recorder's own
// still, from a process that draws nothing else, must be the same file. Slow: every frame
// of the long way round is drawn at 1280 x 720 or 1920 x 1080.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "capture/Capture.h"
#include "capture_scene_fixture.h"
#include "show/Layers.h"

namespace {

class CaptureLate : public CaptureSceneTest {
  protected:
    static std::vector<std::uint8_t> Frame(std::uint32_t time, int fps, bool drawEvery) {
        SetShowState({});
        const std::uint64_t last = FrameOnScreenAt(time, fps);
        for (std::uint64_t n = 0; n < last; ++n) {
            const std::uint32_t t = FrameTime(n, fps);
            EXPECT_TRUE(drawEvery ? RenderCaptureFrame(t) : SkipCaptureFrame(t)) << t;
        }
        EXPECT_TRUE(RenderCaptureFrame(FrameTime(last, fps)));
        std::vector<std::uint8_t> pixels(FrameBytes());
        ReadFrameNow(pixels.data());
        return pixels;
    }

    static std::string Read(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
};

TEST_F(CaptureLate, FullSizeFramesComeOutAsWhenEveryFrameIsDrawn) {
    struct Case {
        int Width, Height, Samples, Fps;
        std::uint32_t Time;
    };
    const Case cases[] = {{1920, 1080, SamplesAtEdges, 5, 30000},
                          {1920, 1080, SamplesAtEdges, 2, 70000},
                          {1280, 720, 4, 3, 50000},
                          {640, 480, 1, 60, 40000}};
    std::string error;
    for (const Case& c : cases) {
        ASSERT_TRUE(OpenFrameTarget(c.Width, c.Height, c.Samples, error)) << error;
        EXPECT_TRUE(Frame(c.Time, c.Fps, false) == Frame(c.Time, c.Fps, true))
            << c.Width << "x" << c.Height << ", samples " << c.Samples << ", " << c.Fps
            << " fps, at " << c.Time;
    }
}

TEST_F(CaptureLate, StillFromAFreshRecorderIsTheFrameDrawnTheLongWay) {
    const char* build = std::getenv("LARKSPUR_BUILD_DIR");
    ASSERT_NE(build, nullptr) << "LARKSPUR_BUILD_DIR names the build folder";
    char folder[] = "/tmp/larkspur-late-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = folder;
    const std::string command = std::string("'") + build +
                                "/larkspur-capture' --quiet --fps 5 --size 1280x720 "
                                "--stills 30000 --output '" +
                                dir + "/program' 2>'" + dir + "/err'";
    ASSERT_EQ(std::system(command.c_str()), 0) << Read(dir + "/err");

    std::string error;
    ASSERT_TRUE(OpenFrameTarget(1280, 720, SamplesAtEdges, error)) << error;
    const std::vector<std::uint8_t> drawn = Frame(30000, 5, true);
    bool made = false;
    const int out = OpenOutputFolder(dir + "/here", true, made, error);
    ASSERT_GE(out, 0) << error;
    ASSERT_TRUE(WritePngFile(out, "still-30000.png", dir + "/here/still-30000.png", drawn.data(),
                             1280, 720, error))
        << error;
    close(out);
    const std::string program = Read(dir + "/program/still-30000.png");
    const std::string here = Read(dir + "/here/still-30000.png");
    std::system(("rm -rf '" + dir + "'").c_str());
    EXPECT_FALSE(program.empty());
    EXPECT_TRUE(program == here) << "the recorder's still differs from every frame drawn";
}

} // namespace
