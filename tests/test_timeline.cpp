// The show's timeline without OpenGL: tables of (show time, layer state) against what
// each layer draws and how its state moves on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "show/Timeline.h"

namespace {

// Picture show ------------------------------------------------------------------------

TEST(PictureShowModel, FrameTable) {
    struct Row {
        std::uint8_t State;
        std::uint32_t Stamp;
        std::uint32_t Now;
        int Slot;
        int Grey;
        bool Changes;
    };
    const Row rows[] = {
        // The title pulses up from black, wraps at 2560, and switches picture at 5000.
        {Title, 0, 0, 9, 0, false},
        {Title, 0, 9, 9, 0, false},
        {Title, 0, 2559, 9, 255, false},
        {Title, 0, 2560, 9, 0, false},
        {Title, 0, 4999, 9, 243, false},
        {Title, 0, 5000, 10, 244, false},
        {Title, 0, 7680, 10, 0, false},
        {Title, 0, 10000, 10, 232, false},
        {Title, 0, 10001, 10, 232, true}, // still drawn as the title
        // The fade-in, zoom and spin show the state's picture (3 here); the fade-in climbs
        // to level 96, zoom and spin stay at 128. Elapsed time is unsigned.
        {FadeIn, 10004, 10004, 3, 0, false},
        {FadeIn, 10004, 10964, 3, 96, false},
        {FadeIn, 10004, 10965, 3, 96, true},
        {Zoom, 20000, 20399, 3, 128, false},
        {Zoom, 20000, 20400, 3, 128, true},
        {Spin, 20000, 20199, 3, 128, false},
        {Spin, 20000, 20200, 3, 128, true},
        {Zoom, 20000, 19999, 3, 128, true},
    };
    for (const Row& r : rows) {
        const PictureFrame f = PictureShowFrame({r.State, r.Stamp, 3}, r.Now);
        const std::string where =
            "state " + std::to_string(r.State) + " at " + std::to_string(r.Now);
        EXPECT_TRUE(f.Drawn) << where;
        EXPECT_EQ(f.Quad.Slot, r.Slot) << where;
        EXPECT_EQ(f.Quad.Grey, r.Grey) << where;
        EXPECT_EQ(f.Changes, r.Changes) << where;
        EXPECT_EQ(f.ChangesFirst, r.State == Title) << where;
        EXPECT_EQ(f.Quad.Turned, r.State == Spin) << where;
        EXPECT_EQ(f.Quad.Half, r.State == Spin ? 15.0f : 10.0f) << where;
    }
    EXPECT_FALSE(PictureShowFrame({4, 0, 0}, 5000).Drawn);
}

TEST(PictureShowModel, ZoomWindowAndSpinAngle) {
    // b = e / 800, not clamped: at 600 the window is mirrored.
    for (std::uint32_t e : {0u, 399u, 600u}) {
        const PictureQuad q = PictureShowFrame({Zoom, 1000, 0}, 1000 + e).Quad;
        const float b = static_cast<float>(e / 800.0);
        const float c = static_cast<float>(1.0 - e / 800.0);
        const float expected[4][2] = {{b, b}, {c, b}, {c, c}, {b, c}};
        for (int v = 0; v < 4; ++v) {
            EXPECT_EQ(q.Coords[v][0], expected[v][0]) << "e " << e << " vertex " << v;
            EXPECT_EQ(q.Coords[v][1], expected[v][1]) << "e " << e << " vertex " << v;
        }
    }
    EXPECT_EQ(PictureShowFrame({Zoom, 0, 0}, 399).Quad.Coords[0][0], 0.49875f);

    const PictureQuad spin = PictureShowFrame({Spin, 1000, 0}, 1199).Quad;
    EXPECT_EQ(spin.Angle, 199.0f);
    EXPECT_EQ(spin.Coords[2][0], 1.0f);
    EXPECT_FALSE(PictureShowFrame({Title, 0, 0}, 100).Quad.Turned);
}

TEST(PictureShowModel, ChangesDrawTheFirstPicksFromSeedZero) {
    std::uint32_t seed = 0;
    PictureShowState s;
    s = ChangePicture(s, 10004, seed);
    EXPECT_EQ(s.State, FadeIn);
    EXPECT_EQ(s.Stamp, 10004u);
    s = ChangePicture(s, 10970, seed);
    EXPECT_EQ(s.State, Zoom);
    EXPECT_EQ(s.Index, 0);
    EXPECT_EQ(seed, 0u) << "title and fade-in draw no random number";

    const int picks[] = {0, 0, 6, 1};
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t from = s.State;
        s = ChangePicture(s, 20000 + i, seed);
        EXPECT_EQ(s.State, from == Zoom ? Spin : Zoom) << "change " << i;
        EXPECT_EQ(s.Stamp, 20000u + i);
        EXPECT_EQ(s.Index, picks[i]) << "change " << i;
    }
    const PictureShowState unknown{7, 5, 2};
    s = ChangePicture(unknown, 9, seed);
    EXPECT_EQ(s.State, 7);
    EXPECT_EQ(s.Index, 2);
}

// One frame every `step` ms, stamping each change with the frame's own time.
PictureShowState PlayPictureShow(std::uint32_t step, std::uint32_t until, std::uint32_t& seed) {
    PictureShowState s;
    for (std::uint32_t t = 0; t <= until; t += step) {
        if (PictureShowFrame(s, t).Changes) {
            s = ChangePicture(s, t, seed);
        }
    }
    return s;
}

TEST(PictureShowModel, EachStateIsTimedFromTheFrameThatEndedThePreviousOne) {
    // Every millisecond: title to 10001, fade-in 961, zoom 400, spin 200, ...
    std::uint32_t seed = 0;
    const std::uint32_t fadeIn = 10001, zoom = fadeIn + 961, spin = zoom + 400;
    EXPECT_EQ(PlayPictureShow(1, fadeIn - 1, seed).State, Title);
    seed = 0;
    EXPECT_EQ(PlayPictureShow(1, fadeIn, seed).State, FadeIn);
    seed = 0;
    EXPECT_EQ(PlayPictureShow(1, zoom, seed).State, Zoom);
    seed = 0;
    PictureShowState s = PlayPictureShow(1, spin, seed);
    EXPECT_EQ(s.State, Spin);
    EXPECT_EQ(s.Stamp, spin);
    seed = 0;
    s = PlayPictureShow(1, spin + 200, seed);
    EXPECT_EQ(s.State, Zoom);
    EXPECT_EQ(seed, 134775814u) << "two draws";
    // At 50 ms a frame the changes come late (10050, 11050, 11450, 11650): the cycle drifts.
    seed = 0;
    s = PlayPictureShow(50, 12000, seed);
    EXPECT_EQ(s.State, Zoom);
    EXPECT_EQ(s.Stamp, 11650u);
}

// Glyph stack and spinning glyph -----------------------------------------------------

TEST(TextLayersModel, StartTimes) {
    EXPECT_FALSE(SpinningGlyphShown(8000));
    EXPECT_TRUE(SpinningGlyphShown(8001));
    EXPECT_FALSE(GlyphStackShown(11500));
    EXPECT_FALSE(GlyphStackShown(12000));
    EXPECT_TRUE(GlyphStackShown(12001));
    EXPECT_EQ(SpinningGlyphAngle(8001), 800.1);
    EXPECT_EQ(SpinningGlyphAngle(36000), 3600.0);
}

TEST(TextLayersModel, SwingAnglesAreWholeDegreesTruncatedTowardZero) {
    struct Row {
        std::uint32_t T;
        double Period;
        double Angle;
    };
    const Row rows[] = {
        {0, 300.0, 0.0},   {471, 300.0, 127.0}, {944, 300.0, 0.0}, // -0.65 truncates to 0
        {785, 500.0, 127}, {785, 400.0, 118.0}, {628, 400.0, 127},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(SwingAngle(r.T, r.Period), r.Angle) << r.T << " / " << r.Period;
    }
}

TEST(TextLayersModel, StackGlyphsAndCentreGlyph) {
    const StackGlyph bottom = StackGlyphAt(0, 471, 785, 47);
    EXPECT_EQ(bottom.Y, 0.0f);
    EXPECT_EQ(bottom.AngleZ, 127.0f);
    EXPECT_EQ(bottom.AngleY, 127.0f);
    EXPECT_EQ(bottom.Colour[0], 255);
    EXPECT_EQ(bottom.Colour[1], 0);
    EXPECT_EQ(bottom.Colour[2], 255);
    EXPECT_EQ(bottom.Code, 47);

    const StackGlyph top = StackGlyphAt(7, 0, 0, 48);
    EXPECT_EQ(top.Y, static_cast<float>(1.4));
    EXPECT_EQ(top.AngleZ, 441.0f);
    EXPECT_EQ(top.AngleY, 140.0f);
    EXPECT_EQ(top.Colour[0], 31);
    EXPECT_EQ(top.Colour[1], 224);
    EXPECT_EQ(top.Code, 48);

    // The centre glyph swings with its own periods, at the bottom glyph's place.
    const StackGlyph centre = CentreGlyphAt(785, 785);
    EXPECT_EQ(centre.AngleZ, 127.0f);
    EXPECT_EQ(centre.AngleY, 118.0f);
    EXPECT_EQ(centre.Y, 0.0f);
    EXPECT_EQ(centre.Code, 242);
    EXPECT_EQ(centre.Colour[0], 128);
    EXPECT_EQ(centre.Colour[1], 128);
    EXPECT_EQ(centre.Colour[2], 0);
}

TEST(TextLayersModel, StackCodeStepsMoreThanFiveSecondsApart) {
    GlyphStackState s;
    EXPECT_TRUE(StackStepDue(s, 12001)) << "the first frame steps at once";
    s = StepGlyphStack(s, 12001);
    EXPECT_EQ(s.Code, 48);
    EXPECT_EQ(s.Stamp, 12001u);
    EXPECT_FALSE(StackStepDue(s, 17001));
    EXPECT_TRUE(StackStepDue(s, 17002));
    EXPECT_EQ(StepGlyphStack({255, 0}, 40000).Code, 0) << "the code wraps";

    // A frame every 16 ms to the end: 48 from 12001, then one step per 5 s or so.
    s = {};
    for (std::uint32_t t = 0; t < ShowEndTime; t += 16) {
        if (GlyphStackShown(t) && StackStepDue(s, t)) {
            s = StepGlyphStack(s, t);
        }
    }
    EXPECT_LE(s.Code, 62);
    EXPECT_GE(s.Code, 60);
}

// Shimmer ----------------------------------------------------------------------------

TEST(ShimmerModel, StartBrightnessAndOffset) {
    EXPECT_FALSE(ShimmerShown(14000));
    EXPECT_TRUE(ShimmerShown(14001));
    struct Row {
        std::uint32_t T;
        int Grey;
    };
    for (const Row& r : {Row{0, 0}, Row{14001, 50}, Row{15708, 60}, Row{31416, 1}, Row{47124, 60},
                         Row{84000, 29}}) {
        EXPECT_EQ(ShimmerGrey(r.T), r.Grey) << r.T;
    }
    std::uint32_t seed = 0;
    EXPECT_EQ(ShimmerOffset(seed), 0.0);
    EXPECT_EQ(seed, 1u) << "one draw per frame";
    seed = 0x12345678u;
    EXPECT_EQ(ShimmerOffset(seed), 101 / 128.0);
    EXPECT_EQ(seed, 0xCB5B9059u);
}

// Credits and the end of the show ----------------------------------------------------

TEST(CreditsModel, OneEntryPer2800AndNothingPastTheTable) {
    struct Row {
        std::uint32_t T;
        int Entry; // -1: past the table
    };
    const Row rows[] = {{0, 0},      {11199, 3},  {11200, 4},  {13999, 4},
                        {72799, 25}, {72800, 26}, {83999, 29}, {84000, 30},
                        {86799, 30}, {86800, -1}, {86900, -1}, {0xFFFFFFFFu, -1}};
    for (const Row& r : rows) {
        EXPECT_EQ(CreditLineAt(r.T), r.Entry < 0 ? nullptr : CreditLines[r.Entry]) << r.T;
    }
    EXPECT_STREQ(CreditLineAt(11199), "");
    EXPECT_STREQ(CreditLineAt(72800), "");
}

TEST(CreditsModel, ShowIsOverFrom84000) {
    EXPECT_FALSE(ShowOver(0));
    EXPECT_FALSE(ShowOver(83999));
    EXPECT_TRUE(ShowOver(84000));
    EXPECT_TRUE(ShowOver(86900));
    EXPECT_TRUE(ShowOver(0xFFFFFFFFu));
}

TEST(CreditsModel, LineBobsAndChangesColourFromOneSignedReading) {
    const CreditsPlacement start = CreditsPlacementAt(0);
    EXPECT_EQ(start.Y, -4.5f);
    EXPECT_EQ(start.Colour[0], 0.0);

    const CreditsPlacement p = CreditsPlacementAt(785);
    EXPECT_NEAR(p.Colour[0], 0.99999968, 1e-7);
    EXPECT_NEAR(p.Colour[1], 0.90072193, 1e-7);
    EXPECT_NEAR(p.Colour[2], 0.76576000, 1e-7);
    EXPECT_NEAR(CreditsPlacementAt(628).Y, -4.0f, 1e-6);

    // The reading is taken as signed: the largest time is -1 ms, a little below -4.5.
    const CreditsPlacement wrapped = CreditsPlacementAt(0xFFFFFFFFu);
    EXPECT_LT(wrapped.Y, -4.5f);
    EXPECT_LT(wrapped.Colour[0], 0.0);
    EXPECT_GT(wrapped.Colour[0], -0.01);
}

TEST(CreditLines, HaveTheFixedStructure) {
    const int lengths[CreditLineCount] = {0,  0,  0,  0,  26, 30, 35, 26, 30, 19, 21,
                                          32, 26, 26, 32, 28, 36, 36, 39, 16, 27, 30,
                                          31, 16, 22, 34, 0,  0,  0,  0,  0};
    for (int k = 0; k < CreditLineCount; ++k) {
        ASSERT_NE(CreditLines[k], nullptr);
        EXPECT_EQ(std::strlen(CreditLines[k]), static_cast<std::size_t>(lengths[k]))
            << "entry " << k;
        for (const char* p = CreditLines[k]; *p != '\0'; ++p) {
            const auto byte = static_cast<unsigned char>(*p);
            // Printable Windows-1252 only: no control bytes, none of its five holes.
            EXPECT_TRUE(byte >= 0x20 && byte != 0x7F && byte != 0x81 && byte != 0x8D &&
                        byte != 0x8F && byte != 0x90 && byte != 0x9D)
                << "entry " << k << " byte " << int{byte};
        }
    }
    EXPECT_EQ(CreditLines[19][15], ':');
    std::string saying = std::string(CreditLines[4]) + CreditLines[5] + CreditLines[6];
    EXPECT_NE(saying.find_first_of("\xE4\xF6\xFC\xDF\xC4\xD6\xDC"), std::string::npos);
}

} // namespace
