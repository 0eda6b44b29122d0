// The song generator: the XM writer's byte layout and its refusals, the integer
// synthesis, and the composed song as libopenmpt plays it (length, its mastered level and
// headroom, and the shape of its loudness along the show's timeline).
#include "tools/song/Song.h"
#include "tools/song/Synth.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <numbers>
#include <sstream>
#include <stdexcept>

namespace {

unsigned U16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8;
}
unsigned U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

XmModule TinyModule() {
    XmModule m;
    m.Name = "Tiny";
    m.Tracker = "Test";
    m.Channels = 2;
    m.Orders = {0};
    XmPattern p(1, 2);
    p.At(0, 0).Note = 49;
    p.At(0, 0).Instrument = 1;
    m.Patterns.push_back(p);
    XmInstrument in;
    in.Name = "Ping";
    in.Frames = {0, 32767, -32768, 100};
    m.Instruments.push_back(in);
    return m;
}

TEST(XmWriter, LaysOutHeaderPatternInstrumentAndDeltaCodedSample) {
    std::vector<std::uint8_t> b = WriteXm(TinyModule());
    ASSERT_EQ(b.size(), 336u + 9 + 4 + 263 + 40 + 8);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 37), "Tiny                ");
    EXPECT_EQ(b[37], 0x1A);
    EXPECT_EQ(U16(b, 58), 0x0104u);
    EXPECT_EQ(U32(b, 60), 276u); // counted from offset 60
    EXPECT_EQ(U16(b, 64), 1u);   // song length
    EXPECT_EQ(U16(b, 68), 2u);   // channels
    EXPECT_EQ(U16(b, 74), 1u);   // linear frequencies
    // Pattern 0 right after the 256-byte order table: C-4 with instrument 1, then an
    // empty cell that still takes its one byte.
    EXPECT_EQ(U32(b, 336), 9u);
    EXPECT_EQ(U16(b, 341), 1u);
    EXPECT_EQ(U16(b, 343), 4u);
    EXPECT_EQ(b[345], 0x83);
    EXPECT_EQ(b[346], 49);
    EXPECT_EQ(b[347], 1);
    EXPECT_EQ(b[348], 0x80);
    const std::size_t instrument = 349, sample = instrument + 263;
    EXPECT_EQ(U32(b, instrument), 263u);
    EXPECT_EQ(U16(b, instrument + 27), 1u);
    EXPECT_EQ(U32(b, instrument + 29), 40u);
    EXPECT_EQ(U32(b, sample), 8u); // 16-bit lengths count bytes
    EXPECT_EQ(b[sample + 14], 0x10);
    EXPECT_NE(b[sample + 17], 0xAD);
    // Deltas wrap in 16 bits: 0, +32767, -65535 → 1, +32868 → 0x8064.
    const std::size_t data = sample + 40;
    EXPECT_EQ(U16(b, data), 0u);
    EXPECT_EQ(U16(b, data + 2), 32767u);
    EXPECT_EQ(U16(b, data + 4), 1u);
    EXPECT_EQ(U16(b, data + 6), 0x8064u);

    // libopenmpt agrees: one 6-tick row at 125 BPM.
    std::ostringstream log;
    openmpt::module mod(b, log);
    EXPECT_NEAR(mod.get_duration_seconds(), 0.12, 0.001);
    EXPECT_EQ(mod.get_num_channels(), 2);
}

TEST(XmWriter, RefusesWhatAPlayerWouldRejectOrReadDifferently) {
    auto rejects = [](auto change) {
        XmModule m = TinyModule();
        change(m);
        EXPECT_THROW(WriteXm(m), std::invalid_argument);
    };
    rejects([](XmModule& m) { m.Orders = {1}; });
    rejects([](XmModule& m) { m.Orders.clear(); });
    rejects([](XmModule& m) { m.Restart = 1; });
    rejects([](XmModule& m) {
        m.Channels = 3;
        m.Patterns[0] = XmPattern(1, 3);
    });
    rejects([](XmModule& m) { m.Patterns[0] = XmPattern(1, 4); });  // wrong channel count
    rejects([](XmModule& m) { m.Patterns[0] = XmPattern(16, 2); }); // empty, not 64 rows
    rejects([](XmModule& m) { m.Speed = 32; });
    rejects([](XmModule& m) { m.Bpm = 31; });
    rejects([](XmModule& m) { m.Patterns[0].At(0, 1).Effect = 0xF; }); // F00
    rejects([](XmModule& m) { m.Patterns[0].At(0, 1).Effect = 18; });  // not FT2
    rejects([](XmModule& m) { m.Patterns[0].At(0, 1).Volume = 0x55; });
    rejects([](XmModule& m) { m.Patterns[0].At(0, 1).Note = 98; });
    rejects([](XmModule& m) { m.Patterns[0].At(0, 1).Instrument = 2; });
    rejects([](XmModule& m) {
        m.Patterns[0].At(0, 1).Effect = 0xD;
        m.Patterns[0].At(0, 1).Param = 0x1A;
    });
    rejects([](XmModule& m) {
        m.Instruments[0].Looped = true;
        m.Instruments[0].LoopStart = 2;
        m.Instruments[0].LoopLength = 3;
    });
    rejects([](XmModule& m) { m.Instruments[0].LoopLength = 2; }); // loop values, no loop
    rejects([](XmModule& m) { m.Instruments[0].Finetune = 100; });
    rejects([](XmModule& m) { m.Instruments[0].Frames.clear(); });
    rejects([](XmModule& m) { m.Instruments[0].Name = std::string(23, 'x'); });
    rejects([](XmModule& m) {
        m.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {10, 30}, {10, 0}};
    });
    rejects([](XmModule& m) {
        m.Instruments[0].VolumeEnvelope.Points = {{0, 64}, {10, 30}};
        m.Instruments[0].VolumeEnvelope.Sustain = 2;
    });
    EXPECT_THROW(TinyModule().Patterns[0].At(1, 0), std::out_of_range);
}

TEST(Synth, SineTableIsAccurateAndLoopsJoinWithoutClicks) {
    double worst = 0;
    for (std::uint32_t i = 0; i < 5000; ++i) {
        std::uint32_t phase = i * 858993u + (i << 20);
        double expected = std::sin(phase / 4294967296.0 * 2 * std::numbers::pi);
        worst = std::max(worst, std::fabs(SineQ30(phase) / 1073741824.0 - expected));
    }
    EXPECT_LT(worst, 1e-5);

    for (const XmInstrument& in : BuildInstruments()) {
        int peak = 0;
        for (std::int16_t v : in.Frames)
            peak = std::max(peak, std::abs(int{v}));
        EXPECT_GT(peak, 20000) << in.Name;
        EXPECT_LE(peak, 30000) << in.Name;
        if (!in.Looped) {
            // One-shots end at silence rather than on a step.
            EXPECT_LT(std::abs(int{in.Frames.back()}), 300) << in.Name;
            continue;
        }
        // The wrap from the loop's end to its start is no bigger than a step inside it.
        int largestStep = 0;
        for (std::size_t i = 1; i < in.Frames.size(); ++i)
            largestStep = std::max(largestStep, std::abs(in.Frames[i] - in.Frames[i - 1]));
        int seam = std::abs(in.Frames.front() - in.Frames.back());
        EXPECT_LE(seam, largestStep) << in.Name;
        EXPECT_EQ(in.Frames.size() % ToneCycleFrames, 0u) << in.Name;
    }
}

struct Rendering {
    std::vector<float> Frames; // interleaved stereo at 44100 Hz
    double Duration = 0;
};

const Rendering& RenderSong() {
    static const Rendering song = [] {
        Rendering r;
        std::ostringstream log;
        openmpt::module mod(WriteXm(ComposeSong()), log);
        EXPECT_EQ(log.str().find("warn"), std::string::npos) << log.str();
        EXPECT_EQ(mod.get_metadata("warnings"), "");
        r.Duration = mod.get_duration_seconds();
        std::vector<float> block(2 * 4096);
        for (;;) {
            std::size_t n = mod.read_interleaved_stereo(44100, 4096, block.data());
            if (n == 0)
                break;
            r.Frames.insert(r.Frames.end(), block.begin(), block.begin() + 2 * n);
        }
        return r;
    }();
    return song;
}

// Level of a stretch of the song in dB below full scale.
double LevelDb(const Rendering& r, double from, double to) {
    std::size_t a = static_cast<std::size_t>(from * 44100) * 2;
    std::size_t b = std::min(r.Frames.size(), static_cast<std::size_t>(to * 44100) * 2);
    double sum = 0;
    for (std::size_t i = a; i < b; ++i)
        sum += double{r.Frames[i]} * r.Frames[i];
    return 10 * std::log10(sum / static_cast<double>(std::max<std::size_t>(b - a, 1)) + 1e-12);
}

// Mastered in the module itself: the main part plays about as loud as music on video
// sites while the peaks keep room for the encoder's overshoot. (The full loudness
// measurement runs on a rendering in the player test.)
TEST(Song, IsMasteredLoudWithHeadroom) {
    const Rendering& r = RenderSong();
    float peak = 0;
    for (float v : r.Frames)
        peak = std::max(peak, std::fabs(v));
    const double peakDb = 20 * std::log10(peak);
    const double main = LevelDb(r, SongLiftMs / 1000.0, SongCalmMs / 1000.0);
    SCOPED_TRACE(::testing::Message() << "peak " << peakDb << " dBFS, main part " << main);
    EXPECT_LT(peakDb, -2.0);
    EXPECT_GT(peakDb, -6.0);
    EXPECT_GT(main, -17.5);
    EXPECT_LT(main, -15.5);
}

TEST(Song, IsDeterministicAndLongEnough) {
    EXPECT_EQ(WriteXm(ComposeSong()), WriteXm(ComposeSong()));
    const Rendering& r = RenderSong();
    EXPECT_NEAR(r.Duration, SongLengthMs / 1000.0, 0.01);
    EXPECT_GE(r.Duration, 90.0);
    EXPECT_GE(r.Frames.size() / 2, static_cast<std::size_t>(90 * 44100));
}

TEST(Song, LoudnessFollowsTheShowTimeline) {
    const Rendering& r = RenderSong();
    const double pickup = SongPickupMs / 1000.0, beat = SongBeatMs / 1000.0,
                 lift = SongLiftMs / 1000.0, calm = SongCalmMs / 1000.0;
    double intro = LevelDb(r, 0.5, pickup - 0.2);
    double drumsIn = LevelDb(r, pickup, beat);
    double groove = LevelDb(r, beat, lift);
    double lifted = LevelDb(r, lift, lift + 5.6);
    double middle = LevelDb(r, lift, calm - 2.8);
    double outro = LevelDb(r, calm + 0.5, 84.0);
    SCOPED_TRACE(::testing::Message()
                 << "intro " << intro << " pickup " << drumsIn << " beat " << groove << " lift "
                 << lifted << " middle " << middle << " outro " << outro);
    EXPECT_LT(intro, middle - 6.0);  // quiet under the titles
    EXPECT_GT(drumsIn, intro + 6.0); // drums arrive with the first picture
    EXPECT_GT(groove, intro + 6.0);
    EXPECT_GT(lifted, groove);      // more comes in with the overlay
    EXPECT_LT(outro, middle - 4.0); // calmer once the credits end
    EXPECT_GT(outro, intro - 3.0);  // but still music while the show runs
    // Quiet right before the picture change, loud right after it.
    EXPECT_GT(LevelDb(r, pickup, pickup + 0.3), LevelDb(r, pickup - 0.5, pickup) + 6.0);
    // The song fades out before it would start over.
    EXPECT_LT(LevelDb(r, r.Duration - 1.0, r.Duration), outro - 12.0);
}

} // namespace
