// The recorder: its clock, its command line, its soundtrack cut, its read-back, and
// frames at the show's edge times drawn through the real scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <GL/gl.h>
#include <fcntl.h>
#include <unistd.h>

#include "audio/MusicPlayer.h"
#include "audio/SongFile.h"
#include "capture/Capture.h"
#include "capture_scene_fixture.h"
#include "show/Layers.h"
#include "show/Random.h"

// --- Clock ---

TEST(CaptureClock, WholeShowAtSixtyFps) {
    EXPECT_EQ(FirstFrameAtOrAfter(ShowEndTime, 60), 5040u);
    EXPECT_EQ(FrameTime(5039, 60), 83983u);
    EXPECT_EQ(FrameTime(5040, 60), 84000u);
    EXPECT_EQ(FrameSample(5040, 60), 84u * 44100u); // sound as long as the picture
    EXPECT_EQ(FrameSample(1, 60), 735u);
    EXPECT_EQ(FirstFrameAtOrAfter(8001, 60), 481u); // 8016 ms: the first frame past 8000
}

TEST(CaptureClock, FramesAndSamplesMeetExactlyAtEveryRate) {
    for (int fps : {1, 7, 24, 25, 30, 59, 60, 144, 1000}) {
        for (std::uint32_t t = 0; t < 3000; t += 7) {
            const std::uint64_t first = FirstFrameAtOrAfter(t, fps);
            ASSERT_GE(FrameTime(first, fps), t) << fps << " fps, " << t << " ms";
            if (first > 0) {
                ASSERT_LT(FrameTime(first - 1, fps), t) << fps << " fps, " << t << " ms";
            }
            const std::uint64_t shown = FrameOnScreenAt(t, fps);
            ASSERT_LE(FrameTime(shown, fps), t);
            ASSERT_GT((shown + 1) * 1000, std::uint64_t{t} * static_cast<std::uint64_t>(fps))
                << "the next frame would already be on screen";
        }
        // Consecutive frames share out the samples with nothing lost or doubled.
        std::uint64_t total = 0;
        for (std::uint64_t n = 0; n < static_cast<std::uint64_t>(fps) * 3; ++n) {
            const std::uint64_t length = FrameSample(n + 1, fps) - FrameSample(n, fps);
            ASSERT_GE(length, 44100u / static_cast<std::uint64_t>(fps));
            ASSERT_LE(length, 44100u / static_cast<std::uint64_t>(fps) + 1);
            total += length;
        }
        EXPECT_EQ(total, 3u * 44100u) << fps << " fps";
    }
}

// --- Command line ---

static bool Parse(std::vector<std::string> args, CaptureOptions& options, std::string& error) {
    args.insert(args.begin(), "larkspur-capture");
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    return ParseCaptureOptions(static_cast<int>(argv.size()), argv.data(), options, error);
}

TEST(CaptureOptions, DefaultsRecordTheWholeShowAtSixty) {
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(Parse({}, o, error)) << error;
    EXPECT_EQ(o.Fps, 60);
    EXPECT_EQ(o.Output, "larkspur.mp4");
    EXPECT_EQ(o.Start, 0u);
    EXPECT_EQ(o.End, ShowEndTime);
    EXPECT_TRUE(o.Stills.empty());

    CaptureOptions s;
    ASSERT_TRUE(Parse({"--stills", "0,8001,14001", "--fps=30", "--end", "99999"}, s, error));
    EXPECT_EQ(s.Output, "stills");
    EXPECT_EQ(s.Stills, (std::vector<std::uint32_t>{0, 8001, 14001}));
    EXPECT_EQ(s.Fps, 30);
    EXPECT_EQ(s.End, ShowEndTime) << "nothing is drawn after the show ends";
}

TEST(CaptureOptions, RefusesWhatItCannotUse) {
    const std::vector<std::vector<std::string>> bad = {
        {"--fps", "0"},
        {"--fps", "1001"},
        {"--fps", "6O"},
        {"--fps"},
        {"--start", "-5"},
        {"--start", "99999999999"},
        {"--start", "5000", "--end", "5000"},
        {"--start", "84000"},
        {"--stills", "1,,2"},
        {"--stills", "84000"},
        {"--stills", ""},
        {"--output", ""},
        {"--frobnicate"},
        {"-x"},
        {"--quiet=1"},
        {"extra"},
        {"--", "extra"},
        {"-o"},
    };
    for (const auto& args : bad) {
        CaptureOptions o;
        std::string error;
        std::string joined;
        for (const auto& a : args) {
            joined += a + " ";
        }
        EXPECT_FALSE(Parse(args, o, error)) << joined;
        EXPECT_FALSE(error.empty()) << joined;
    }
}

TEST(CaptureOptions, ValuesAreTakenAsTheyStandAndErrorsNameTheWord) {
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"-o", "-y", "--quiet", "--start=100", "--end", "200"}, o, error)) << error;
    EXPECT_EQ(o.Output, "-y") << "a value that looks like an option is still the value";
    EXPECT_TRUE(o.Quiet);
    EXPECT_EQ(o.Start, 100u);
    EXPECT_EQ(o.End, 200u);
    CaptureOptions v;
    ASSERT_TRUE(Parse({"--version"}, v, error)) << error;
    EXPECT_TRUE(v.Version);

    const std::vector<std::pair<std::vector<std::string>, std::string>> messages = {
        {{"--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"--quiet=1"}, "--quiet takes no value"},
        {{"--fps"}, "option --fps needs a value"},
        {{"--start", "soon"}, "option --start needs a whole number of milliseconds, not \"soon\""},
        {{"extra"}, "unexpected argument \"extra\""},
    };
    for (const auto& [args, text] : messages) {
        CaptureOptions o2;
        error.clear();
        EXPECT_FALSE(Parse(args, o2, error)) << args[0];
        EXPECT_NE(error.find(text), std::string::npos) << error;
    }
}

TEST(CaptureOptions, SizeAndSamples) {
    std::string error;
    CaptureOptions big;
    ASSERT_TRUE(Parse({"--size", "1920x1080"}, big, error)) << error;
    EXPECT_EQ(big.Width, 1920);
    EXPECT_EQ(big.Height, 1080);
    EXPECT_EQ(big.Samples, SamplesAtEdges) << "smooth edges by default above the window's size";
    CaptureOptions four;
    ASSERT_TRUE(Parse({"--size", "1920x1080", "--samples", "4"}, four, error)) << error;
    EXPECT_EQ(four.Samples, 4) << "4 samples everywhere when asked for";
    CaptureOptions plain;
    ASSERT_TRUE(Parse({"--size=640x480"}, plain, error)) << error;
    EXPECT_EQ(plain.Samples, 1) << "the default recording stays as it was";
    CaptureOptions smallest;
    ASSERT_TRUE(Parse({"--size", "8x6", "--scale", "6", "--stills", "0"}, smallest, error))
        << error;
    CaptureOptions noStills;
    ASSERT_TRUE(Parse({"--size", "2x2", "--scale", "4"}, noStills, error)) << "no stills, no scale";
    CaptureOptions largest;
    ASSERT_TRUE(Parse({"--size", "3840x2160", "--samples", "2"}, largest, error)) << error;
    EXPECT_EQ(largest.Samples, 2);

    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--size", "641x480"}, "odd"},
        {{"--size", "640x0"}, "zero"},
        {{"--size", "3842x2160"}, "larger than 3840x2160"},
        {{"--size", "3840x2162"}, "larger than 3840x2160"},
        {{"--size", "640"}, "not WIDTHxHEIGHT"},
        {{"--size", "640x480x2"}, "not WIDTHxHEIGHT"},
        {{"--size", "-640x480"}, "not WIDTHxHEIGHT"},
        {{"--size", "x"}, "not WIDTHxHEIGHT"},
        {{"--samples", "3"}, "--samples needs 1, 2, 4 or 8"},
        {{"--samples", "16"}, "--samples needs 1, 2, 4 or 8"},
        {{"--samples", "0"}, "--samples needs 1, 2, 4 or 8"},
        // Found here, not after drawing up to the still.
        {{"--size", "2x2", "--scale", "4", "--stills", "5000"},
         "--scale 4 leaves nothing of a 2x2"},
        {{"--size", "8x6", "--scale", "8", "--stills", "0"}, "--scale 8 leaves nothing of a 8x6"},
        // A value with a newline is shown escaped, so the message stays one line.
        {{"--size", "64x\n48"}, "\"64x\\n48\""},
    };
    for (const auto& [args, text] : bad) {
        CaptureOptions o;
        error.clear();
        EXPECT_FALSE(Parse(args, o, error)) << args[1];
        EXPECT_NE(error.find(text), std::string::npos) << args[1] << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << "one line";
    }
}

// --- Stills ---

TEST(CaptureStills, ShrinkAveragesBlocksAndDropsTheRaggedEdge) {
    // 5 × 3 pixels, BGRA; the right column and the bottom row do not fill a 2 × 2 block.
    std::vector<std::uint8_t> in(5 * 3 * 4, 77);
    auto at = [&](int x, int y) { return &in[static_cast<std::size_t>((y * 5 + x) * 4)]; };
    const std::uint8_t block[4][4] = {
        {0, 10, 255, 255}, {1, 20, 255, 255}, {2, 30, 0, 255}, {3, 41, 0, 255}};
    std::memcpy(at(0, 0), block[0], 4);
    std::memcpy(at(1, 0), block[1], 4);
    std::memcpy(at(0, 1), block[2], 4);
    std::memcpy(at(1, 1), block[3], 4);
    const std::vector<std::uint8_t> out = ShrinkPicture(in.data(), 5, 3, 2);
    ASSERT_EQ(out.size(), 2u * 1u * 4u);
    EXPECT_EQ(out[0], 2);   // (0 + 1 + 2 + 3) / 4 = 1.5, rounded
    EXPECT_EQ(out[1], 25);  // (10 + 20 + 30 + 41) / 4 = 25.25
    EXPECT_EQ(out[2], 128); // (255 + 255) / 4 = 127.5, rounded
    EXPECT_EQ(out[3], 255);
    EXPECT_EQ(out[4], 77);
    EXPECT_TRUE(ShrinkPicture(in.data(), 5, 3, 4).empty()) << "no whole block fits";
}

// --- Soundtrack ---

static std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

static std::string TempPath(const char* name) {
    return "capture-test-" + std::to_string(getpid()) + "-" + name;
}

static bool WriteSoundtrackFile(const std::string& song, std::uint64_t from, std::uint64_t count,
                                const std::string& wav, std::string& error) {
    const int fd = open(wav.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot make " + wav;
        return false;
    }
    const bool ok = WriteSoundtrack(song, from, count, fd, error);
    close(fd);
    return ok;
}

TEST(CaptureSoundtrack, CutIsSampleExactAndLoopsPastTheSongsEnd) {
    if (access("data/theme.xm", R_OK) != 0) {
        GTEST_SKIP() << "no data/theme.xm in the build folder";
    }
    const std::string whole = TempPath("whole.wav");
    const std::string part = TempPath("part.wav");
    std::string error;
    // One second past the song's own end: it must loop there, not fall silent.
    std::unique_ptr<openmpt::module> song;
    ASSERT_EQ(OpenSongFile("data/theme.xm", song), FMOD_ERR_NONE);
    const auto total = static_cast<std::uint64_t>((song->get_duration_seconds() + 1) * 44100);
    ASSERT_TRUE(WriteSoundtrackFile("data/theme.xm", 0, total, whole, error)) << error;
    ASSERT_TRUE(WriteSoundtrackFile("data/theme.xm", 12345, 44100, part, error)) << error;
    const std::vector<char> a = ReadAll(whole);
    const std::vector<char> b = ReadAll(part);
    unlink(whole.c_str());
    unlink(part.c_str());
    ASSERT_EQ(a.size(), 44 + total * 4);
    ASSERT_EQ(b.size(), 44u + 44100u * 4u);
    EXPECT_EQ(std::memcmp(a.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(a.data() + 36, "data", 4), 0);
    EXPECT_TRUE(std::equal(b.begin() + 44, b.end(), a.begin() + 44 + 12345 * 4))
        << "a cut must hold exactly the samples of the whole at the same place";
    // The second after the song's end is not silence.
    bool sound = false;
    for (std::size_t i = a.size() - 44100 * 4; i < a.size() && !sound; ++i) {
        sound = a[i] != 0;
    }
    EXPECT_TRUE(sound) << "the song must loop like the live player's";
}

TEST(CaptureSoundtrack, UnreadableSongIsAClearError) {
    std::string error;
    const std::string wav = TempPath("none.wav");
    EXPECT_FALSE(WriteSoundtrackFile("data/no-such-song.xm", 0, 10, wav, error));
    EXPECT_NE(error.find("data/no-such-song.xm"), std::string::npos) << error;
    const std::string junk = TempPath("junk.xm");
    {
        std::ofstream out(junk, std::ios::binary);
        out << "this is no module at all, just some words";
    }
    error.clear();
    EXPECT_FALSE(WriteSoundtrackFile(junk, 0, 10, wav, error));
    EXPECT_NE(error.find(junk), std::string::npos) << error;
    unlink(junk.c_str());
    unlink(wav.c_str());
}

// --- The show, offscreen ---

class CaptureScene : public CaptureSceneTest {
  protected:
    static std::vector<std::uint8_t> FrameAt(std::uint32_t time) {
        EXPECT_TRUE(RenderCaptureFrame(time)) << time;
        std::vector<std::uint8_t> pixels(CaptureFrameBytes);
        ReadFrameNow(pixels.data());
        return pixels;
    }
    static std::size_t DifferentPixels(const std::vector<std::uint8_t>& a,
                                       const std::vector<std::uint8_t>& b) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < a.size(); i += 4) {
            n += std::memcmp(&a[i], &b[i], 3) != 0 ? 1 : 0;
        }
        return n;
    }
    static std::uint64_t Brightness(const std::vector<std::uint8_t>& a) {
        std::uint64_t sum = 0;
        for (std::size_t i = 0; i < a.size(); i += 4) {
            sum += a[i] + a[i + 1] + a[i + 2];
        }
        return sum;
    }
};

// A frame handed to the encoder, top row first, in BGRA whatever order it came in.
static std::vector<std::uint8_t> InBgra(FrameRows rows) {
    if (rows.Top == nullptr) {
        return {};
    }
    const std::size_t row = std::size_t{CaptureWidth} * 4;
    std::vector<std::uint8_t> bgra(CaptureFrameBytes);
    for (int y = 0; y < CaptureHeight; ++y) {
        std::memcpy(&bgra[row * y], rows.Top + rows.Stride * y, row);
    }
    if (FramePixelOrder() == PixelOrder::Rgba) {
        for (std::size_t i = 0; i < bgra.size(); i += 4) {
            std::swap(bgra[i], bgra[i + 2]);
        }
    }
    return bgra;
}

TEST_F(CaptureScene, ReadBackIsTopRowFirstAndBuffersHandFramesOnInOrder) {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, CaptureHeight / 2, CaptureWidth, CaptureHeight / 2); // top half, GL is bottom-up
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    std::vector<std::uint8_t> first(CaptureFrameBytes);
    ReadFrameNow(first.data());
    // BGRA: the first row is red, the last blue.
    EXPECT_EQ(first[0], 0);
    EXPECT_EQ(first[2], 255);
    EXPECT_EQ(first[CaptureFrameBytes - 4], 255);
    EXPECT_EQ(first[CaptureFrameBytes - 2], 0);

    StartFrameRead();
    const FrameRows none = TakeFrame();
    if (FrameReaderUsesBuffers()) {
        EXPECT_EQ(none.Top, nullptr) << "the first read is still in flight";
    } else {
        ASSERT_NE(none.Top, nullptr);
    }
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (FrameReaderUsesBuffers()) {
        StartFrameRead();
        const std::vector<std::uint8_t> previous = InBgra(TakeFrame());
        EXPECT_EQ(previous, first)
            << "the buffered read must hand back the earlier frame, flipped the same way";
        const std::vector<std::uint8_t> last = InBgra(FlushFrame());
        ASSERT_FALSE(last.empty());
        EXPECT_EQ(last[1], 255);
        EXPECT_EQ(FlushFrame().Top, nullptr);
    }
    glClearColor(0, 0, 0, 0);
}

TEST_F(CaptureScene, SpinningGlyphAppearsOnlyAfter8000) {
    const auto before = FrameAt(8000);
    const auto after = FrameAt(8001);
    // The title's grey level is 32 at both times and no credits line shows yet: the
    // glyph, in the upper left, is all that changes.
    std::size_t changed = 0;
    int right = -1;
    int bottom = -1;
    for (int y = 0; y < CaptureHeight; ++y) {
        for (int x = 0; x < CaptureWidth; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * CaptureWidth + x) * 4;
            if (std::memcmp(&before[i], &after[i], 3) != 0) {
                ++changed;
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
    }
    EXPECT_GT(changed, 500u) << "the spinning glyph must show at 8001";
    EXPECT_LT(right, CaptureWidth / 2) << "only the upper left may change";
    EXPECT_LT(bottom, CaptureHeight / 2) << "only the upper left may change";
}

TEST_F(CaptureScene, ShimmerStartsAfter14000AndDrawsOneRandomPerFrame) {
    for (std::uint32_t t = 8100; t < 14000; t += 100) {
        FrameAt(t); // the picture show's changes before the shimmer
    }
    // Keep the picture show from changing (and drawing) at 14000 or 14001, so every
    // draw seen there is the shimmer's.
    if (PictureState == Zoom || PictureState == Spin) {
        PictureStamp = 13990;
    }
    const std::uint32_t seedBefore = RandomSeed;
    const auto before = FrameAt(14000);
    const std::uint32_t seedAt14000 = RandomSeed;
    const auto after = FrameAt(14001);
    EXPECT_EQ(seedAt14000, seedBefore) << "no shimmer at exactly 14000";
    std::uint32_t expected = seedAt14000 * 134775813u + 1u;
    EXPECT_EQ(RandomSeed, expected) << "one Random(128) when the shimmer starts";
    EXPECT_GT(Brightness(after), Brightness(before)) << "the overlay is added on top";
    EXPECT_GT(DifferentPixels(before, after), std::size_t{CaptureWidth} * CaptureHeight / 4)
        << "the overlay covers the screen";
}

TEST_F(CaptureScene, EndOfShowEndsTheFrameNotTheProcess) {
    EXPECT_TRUE(RenderCaptureFrame(83999));
    EXPECT_FALSE(RenderCaptureFrame(84000));
    EXPECT_FALSE(RenderCaptureFrame(86900));
    // Still alive, and a frame before the end still draws.
    EXPECT_TRUE(RenderCaptureFrame(83999));
}
