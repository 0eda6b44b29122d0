// Frames on their way to the encoder: read in whatever byte order the renderer gives
// fastest, only the picture, and handed over top row first. What reaches the encoder's
// pipe must be the whole frame as OpenGL holds it, in the order ffmpeg is told.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <GL/gl.h>

#include "capture/Capture.h"
#include "capture_scene_fixture.h"

namespace {

// The frame in BGRA, top row first, whatever order and row direction it came in, alpha
// left out.
std::vector<std::uint8_t> InBgra(const std::uint8_t* top, std::ptrdiff_t stride, bool rgba) {
    const std::size_t row = static_cast<std::size_t>(FrameWidth()) * 4;
    std::vector<std::uint8_t> bgra(FrameBytes());
    for (int y = 0; y < FrameHeight(); ++y) {
        std::memcpy(&bgra[row * static_cast<std::size_t>(y)], top + stride * y, row);
    }
    for (std::size_t i = 0; i < bgra.size(); i += 4) {
        if (rgba) {
            std::swap(bgra[i], bgra[i + 2]);
        }
        bgra[i + 3] = 0; // alpha reaches no video or still
    }
    return bgra;
}

// Drops whatever reads an earlier test left in flight.
void DrainReader() {
    while (FlushFrame().Top != nullptr) {
    }
}

struct Target {
    int Width, Height, Samples;
};
const Target Targets[] = {{640, 480, 1}, {1920, 1080, 4}, {640, 960, 1}, {1920, 1080, 1}};

class CaptureFrames : public CaptureSceneTest {
  protected:
    // A frame with the shimmer over everything, read whole by plain glReadPixels, BGRA,
    // top row first.
    static std::vector<std::uint8_t> WholeFrameOfTheShow(const Target& t) {
        std::string error;
        EXPECT_TRUE(OpenFrameTarget(t.Width, t.Height, t.Samples, error)) << error;
        DrainReader();
        EXPECT_TRUE(RenderCaptureFrame(15100));
        std::vector<std::uint8_t> bottomUp(FrameBytes());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        BindFrameForReading();
        glReadPixels(0, 0, t.Width, t.Height, GL_BGRA, GL_UNSIGNED_BYTE, bottomUp.data());
        const std::ptrdiff_t row = std::ptrdiff_t{t.Width} * 4;
        return InBgra(bottomUp.data() + row * (t.Height - 1), -row, false);
    }
};

TEST_F(CaptureFrames, VideoFramesAreTheWholeFrameAtEverySize) {
    for (const Target& t : Targets) {
        const std::string where = std::to_string(t.Width) + "x" + std::to_string(t.Height) + ", " +
                                  std::to_string(t.Samples) + " sample(s)";
        const std::vector<std::uint8_t> whole = WholeFrameOfTheShow(t);
        std::vector<std::uint8_t> still(FrameBytes());
        ReadFrameNow(still.data());
        EXPECT_TRUE(InBgra(still.data(), std::ptrdiff_t{t.Width} * 4, false) == whole)
            << where << ": the still";
        // Twice: the second frame through the pixel buffers lands on stale bytes.
        for (int round = 0; round < 2; ++round) {
            StartFrameRead();
            FrameRows rows = TakeFrame();
            if (rows.Top == nullptr) {
                rows = FlushFrame();
            }
            ASSERT_NE(rows.Top, nullptr) << where;
            EXPECT_TRUE(InBgra(rows.Top, rows.Stride, FramePixelOrder() == PixelOrder::Rgba) ==
                        whole)
                << where << ", read " << round;
        }
        DrainReader();
    }
}

// The encoder's pipe, caught by a stand-in for ffmpeg that keeps what it is given.
TEST_F(CaptureFrames, TheEncoderGetsTopRowFirstInTheOrderItIsTold) {
    char folder[] = "/tmp/larkspur-frames-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string bin = std::string(folder) + "/ffmpeg";
    {
        std::ofstream script(bin);
        script << "#!/bin/sh\nfor a; do echo \"$a\"; done >'" << folder << "/args'\ncat >'"
               << folder << "/frames'\n";
    }
    chmod(bin.c_str(), 0755);
    const std::string oldPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (std::string(folder) + ":" + oldPath).c_str(), 1);

    const Target wide = Targets[1];
    const std::vector<std::uint8_t> whole = WholeFrameOfTheShow(wide);
    const int soundtrack = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int output = open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::string error;
    ASSERT_TRUE(StartEncoder(soundtrack, 60, output, "mp4", error)) << error;
    close(soundtrack);
    close(output);
    StartFrameRead();
    for (FrameRows rows = FlushFrame(); rows.Top != nullptr; rows = FlushFrame()) {
        ASSERT_TRUE(SubmitFrame(rows));
    }
    EXPECT_TRUE(FinishEncoder(error)) << error;
    setenv("PATH", oldPath.c_str(), 1);

    std::ifstream argsFile(std::string(folder) + "/args");
    std::vector<std::string> args;
    for (std::string line; std::getline(argsFile, line);) {
        args.push_back(line);
    }
    std::ifstream framesFile(std::string(folder) + "/frames", std::ios::binary);
    const std::vector<std::uint8_t> piped((std::istreambuf_iterator<char>(framesFile)),
                                          std::istreambuf_iterator<char>());
    std::system(("rm -rf " + std::string(folder)).c_str());

    // The input's pixel format is the first -pix_fmt; the second is the video's.
    const auto pixFmt = std::find(args.begin(), args.end(), "-pix_fmt");
    ASSERT_NE(pixFmt, args.end());
    ASSERT_NE(pixFmt + 1, args.end());
    const std::string order = *(pixFmt + 1);
    ASSERT_TRUE(order == "rgba" || order == "bgra") << order;
    ASSERT_EQ(piped.size(), whole.size()) << "one frame";
    EXPECT_TRUE(InBgra(piped.data(), wide.Width * 4, order == "rgba") == whole);
}

} // namespace
