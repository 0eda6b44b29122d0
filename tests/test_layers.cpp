// The layers one by one against a scripted show clock: the picture show's state machine,
// the text layers' start times and state, the shimmer, the credits and their lines.
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "app/RunShow.h"
#include "tests/test_layers_scene.h"

// Picture show -------------------------------------------------------------------------

using PictureShow = LayerScene;

TEST_F(PictureShow, TitlePulsesUpFromBlackAndSwitchesPictureAt5000) {
    struct Case {
        std::uint32_t Time;
        int Slot;
        unsigned Grey;
    };
    for (const Case& c :
         {Case{0, 9, 0}, Case{9, 9, 0}, Case{2000, 9, 200}, Case{2559, 9, 255}, Case{2560, 9, 0},
          Case{4999, 9, 243}, Case{5000, 10, 244}, Case{7680, 10, 0}}) {
        Clock.At(c.Time);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        DrawPictureShow();
        EXPECT_TRUE(Near(Centre(), Scaled(SlotColours[c.Slot], c.Grey)))
            << "time " << c.Time << " pixel " << std::hex << Centre();
        EXPECT_EQ(BoundTexture(), static_cast<GLint>(Names[c.Slot])) << "time " << c.Time;
        EXPECT_EQ(PictureState, Title);
    }
    EXPECT_EQ(RandomSeed, 0u);
}

TEST_F(PictureShow, TitleChangesOnlyAboveTenSecondsAndStillDrawsThatFrameAsTitle) {
    Clock.At(10000);
    DrawPictureShow();
    EXPECT_EQ(PictureState, Title);
    EXPECT_EQ(Clock.Readings, 1);

    // The stamp takes a fresh reading, not the one the frame started with.
    Clock.Then({10001, 10004});
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    DrawPictureShow();
    EXPECT_EQ(PictureState, FadeIn);
    EXPECT_EQ(PictureStamp, 10004u);
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(Names[10]));
    EXPECT_TRUE(Near(Centre(), Scaled(SlotColours[10], 1000 % 256)));
    EXPECT_EQ(RandomSeed, 0u);
}

// Drives one frame of the picture show at e milliseconds into the current state.
static void PictureFrameAt(ScriptedClock& clock, std::uint32_t e, std::uint32_t nextStamp) {
    clock.Then({PictureStamp + e, nextStamp});
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    DrawPictureShow();
}

TEST_F(PictureShow, FadeInThenZoomAndSpinAlternateWithTheFirstRandomPicks) {
    PictureState = FadeIn;
    PictureStamp = 10004;

    PictureFrameAt(Clock, 960, 0);
    EXPECT_EQ(PictureState, FadeIn);
    EXPECT_TRUE(Near(Centre(), Scaled(SlotColours[0], 96)));

    PictureFrameAt(Clock, 961, 10970);
    EXPECT_EQ(PictureState, Zoom);
    EXPECT_EQ(PictureStamp, 10970u);
    EXPECT_EQ(PictureIndex, 0);
    EXPECT_EQ(RandomSeed, 0u) << "the fade-in draws no random number";

    // Zoom → Spin → Zoom → Spin → Zoom: the picks from seed 0 are 0, 0, 6, 1.
    const int expectedPicks[] = {0, 0, 6, 1};
    std::uint32_t stamp = 10970;
    for (int change = 0; change < 4; ++change) {
        const bool zooming = change % 2 == 0;
        const std::uint32_t last = zooming ? 399 : 199;
        PictureFrameAt(Clock, last, 0);
        EXPECT_EQ(PictureState, zooming ? Zoom : Spin) << "change " << change;
        stamp += last + 1;
        PictureFrameAt(Clock, last + 1, stamp + 3);
        stamp += 3;
        EXPECT_EQ(PictureState, zooming ? Spin : Zoom) << "change " << change;
        EXPECT_EQ(PictureStamp, stamp);
        EXPECT_EQ(PictureIndex, expectedPicks[change]) << "change " << change;
        // The next state shows the new pick, at grey 128.
        PictureFrameAt(Clock, 10, 0);
        EXPECT_TRUE(Near(Centre(), Scaled(SlotColours[expectedPicks[change]], 128)))
            << "change " << change << " pixel " << std::hex << Centre();
        stamp = PictureStamp;
    }
}

TEST_F(PictureShow, ZoomWindowClosesOnTheCentreAndIsNotClamped) {
    UseProjection(120.0); // the whole quad on screen, so feedback shows it unclipped
    PictureState = Zoom;
    PictureStamp = 20000;
    for (std::uint32_t e : {399u, 600u}) {
        const double b = e / 800.0;
        Clock.At(20000 + e);
        glLoadIdentity();
        const Feedback drawn = CaptureFeedback(DrawPictureShow);
        ASSERT_FALSE(drawn.Polygons.empty());
        float lo = 1e9f, hi = -1e9f;
        for (const auto& polygon : drawn.Polygons) {
            for (const auto& v : polygon) {
                lo = std::min({lo, v.S, v.T});
                hi = std::max({hi, v.S, v.T});
                EXPECT_NEAR(v.R, 128.0f / 255.0f, 1e-3f);
            }
        }
        EXPECT_FLOAT_EQ(std::min(lo, hi), static_cast<float>(std::min(b, 1.0 - b)));
        EXPECT_FLOAT_EQ(std::max(lo, hi), static_cast<float>(std::max(b, 1.0 - b)));
        EXPECT_EQ(PictureState, e == 399 ? Zoom : Spin) << "e = " << e;
        PictureState = Zoom;
    }
}

TEST_F(PictureShow, EveryStateLeavesTheModelviewAsFound) {
    for (std::uint8_t state : {Title, FadeIn, Zoom, Spin}) {
        PictureState = state;
        PictureStamp = 20000;
        Clock.At(20137);
        glLoadIdentity();
        DrawPictureShow();
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(m[i], i % 5 == 0 ? 1.0f : 0.0f, 1e-5f) << "state " << int{state};
        }
    }
}

TEST_F(PictureShow, MissingPictureLeavesThePreviousBindingAndUnknownStateDrawsNothing) {
    Textures[10]->TextureName = 0; // l2 failed to load
    Clock.At(4000);
    DrawPictureShow();
    ASSERT_EQ(BoundTexture(), static_cast<GLint>(Names[9]));
    Clock.At(5000);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    DrawPictureShow();
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(Names[9]));
    EXPECT_TRUE(Near(Centre(), Scaled(SlotColours[9], 244)));

    PictureState = 4;
    const Feedback drawn = CaptureFeedback(DrawPictureShow);
    EXPECT_TRUE(drawn.Polygons.empty());
    EXPECT_EQ(PictureState, 4);
    EXPECT_EQ(PictureStamp, 0u);
}

// Glyph stack and spinning glyph ---------------------------------------------------------

using TextLayers = LayerScene;

static void ExpectTextLayerStateAfterDrawing() {
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(TextLayers, GlyphStackStartsAbove12000WithCode47ThenSteps) {
    Clock.At(12000);
    DrawGlyphStack();
    EXPECT_EQ(Clock.Readings, 1);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0)) << "nothing is touched before the start";
    EXPECT_EQ(StackGlyphCode, 47);

    Clock.At(12001);
    DrawGlyphStack();
    ExpectTextLayerStateAfterDrawing();
    EXPECT_EQ(StackGlyphCode, 48);
    EXPECT_EQ(StackStamp, 12001u);
    const std::vector<float> colour = CurrentColour();
    EXPECT_NEAR(colour[0], 128 / 255.0f, 1e-3f);
    EXPECT_NEAR(colour[1], 128 / 255.0f, 1e-3f);
    EXPECT_NEAR(colour[2], 0.0f, 1e-3f);

    Clock.At(17001); // exactly 5000 since the step: no step yet
    DrawGlyphStack();
    EXPECT_EQ(StackGlyphCode, 48);
    Clock.At(17002);
    DrawGlyphStack();
    EXPECT_EQ(StackGlyphCode, 49);

    StackGlyphCode = 255;
    Clock.At(40000);
    DrawGlyphStack();
    EXPECT_EQ(StackGlyphCode, 0) << "the code wraps at 256";
}

TEST_F(TextLayers, GlyphStackDrawsEightStackedGlyphsAndTheCentreGlyph) {
    if (!InstallMarkerFonts()) {
        GTEST_SKIP() << "outline fonts not built yet";
    }
    Clock.At(12001);
    const Feedback drawn = CaptureFeedback(DrawGlyphStack);
    std::vector<float> expected(8, SymbolMarker + 47);
    expected.push_back(SymbolMarker + 242);
    EXPECT_EQ(drawn.PassThrough, expected);
    ASSERT_EQ(drawn.Polygons.size() >= 9, true);
}

TEST_F(TextLayers, EveryQuantityTakesItsOwnReadingOfTheShowTime) {
    PictureState = Zoom;
    PictureStamp = 49900;
    Clock.At(50000);
    DrawPictureShow();
    EXPECT_EQ(Clock.Readings, 1);
    Clock.Readings = 0;
    StackStamp = 49000; // no step this frame
    DrawGlyphStack();
    EXPECT_EQ(Clock.Readings, 1 + 16 + 2 + 1);
    Clock.Readings = 0;
    DrawSpinningGlyph();
    EXPECT_EQ(Clock.Readings, 2);
    Clock.Readings = 0;
    DrawShimmer();
    EXPECT_EQ(Clock.Readings, 2);
    Clock.Readings = 0;
    DrawCredits();
    EXPECT_EQ(Clock.Readings, 3);
}

TEST_F(TextLayers, SpinningGlyphStartsAbove8000TexturedWithSlotZero) {
    glColor3ub(1, 2, 3);
    Clock.At(8000);
    DrawSpinningGlyph();
    EXPECT_EQ(Clock.Readings, 1);
    EXPECT_NEAR(CurrentColour()[0], 1 / 255.0f, 1e-4f);
    EXPECT_EQ(BoundTexture(), 0);

    Clock.At(8001);
    DrawSpinningGlyph();
    ExpectTextLayerStateAfterDrawing();
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(Names[0]));
    const std::vector<float> colour = CurrentColour();
    EXPECT_NEAR(colour[0], 0.0f, 1e-4f);
    EXPECT_NEAR(colour[1], 200 / 255.0f, 1e-3f);

    // A missing slot 0 keeps whatever was bound before.
    Textures[0]->TextureName = 0;
    glBindTexture(GL_TEXTURE_2D, Names[5]);
    DrawSpinningGlyph();
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(Names[5]));
}

TEST_F(TextLayers, SpinningGlyphProjectsThePictureFromEyeSpace) {
    if (!InstallMarkerFonts()) {
        GTEST_SKIP() << "outline fonts not built yet";
    }
    Clock.At(9000); // a quarter turn and more: the glyph is seen edge-on, then from behind
    const Feedback drawn = CaptureFeedback(DrawSpinningGlyph);
    EXPECT_EQ(drawn.PassThrough, std::vector<float>{SymbolMarker + 'N'});
    Clock.At(36000); // ten whole turns: facing the eye
    glLoadIdentity();
    const Feedback facing = CaptureFeedback(DrawSpinningGlyph);
    ASSERT_FALSE(facing.Polygons.empty());
    // Texture coordinates follow the eye-space position, so they vary over the glyph.
    const auto& square = facing.Polygons.front();
    bool varies = false;
    for (const auto& v : square) {
        varies = varies || std::fabs(v.S - square.front().S) > 1e-3f;
    }
    EXPECT_TRUE(varies);
}

// Shimmer -------------------------------------------------------------------------------

using Shimmer = LayerScene;

TEST_F(Shimmer, StartsAbove14000AddingSlot8AtGrey50) {
    Clock.At(14000);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawShimmer();
    EXPECT_EQ(RandomSeed, 0u) << "no random draw before the start";
    EXPECT_EQ(Centre(), 0u);

    Clock.At(14001);
    glClearColor(100 / 255.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    DrawShimmer();
    EXPECT_EQ(RandomSeed, 1u) << "one draw per frame";
    EXPECT_TRUE(Near(Centre(), 0x963232)) << std::hex << Centre();
    EXPECT_TRUE(Near(Gl->PixelAt(0, 0), 0x963232)) << "covers the screen";
    EXPECT_TRUE(Near(Gl->PixelAt(639, 479), 0x963232)) << "covers the screen";
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(Names[8]));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[14], 0.0f);
}

TEST_F(Shimmer, BrightnessSwellsAndEbbsWithShowTime) {
    struct Case {
        std::uint32_t Time;
        unsigned Grey;
    };
    for (const Case& c : {Case{15708, 60}, Case{31416, 1}, Case{47124, 60}, Case{84000, 29}}) {
        Clock.At(c.Time);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        DrawShimmer();
        EXPECT_TRUE(Near(Centre(), Scaled(0xFFFFFF, c.Grey), 1))
            << c.Time << " " << std::hex << Centre();
    }
}

TEST_F(Shimmer, TilingOffsetIsTheNextRandomDrawInSteps) {
    UseProjection(120.0); // the quad unclipped
    RandomSeed = 0x12345678u;
    std::uint32_t seed = RandomSeed;
    const double u = Random(128) / 128.0;
    RandomSeed = seed;
    Clock.At(20000);
    glLoadIdentity();
    const Feedback drawn = CaptureFeedback(DrawShimmer);
    ASSERT_FALSE(drawn.Polygons.empty());
    float lo = 1e9f, hi = -1e9f;
    for (const auto& polygon : drawn.Polygons) {
        for (const auto& v : polygon) {
            lo = std::min({lo, v.S, v.T});
            hi = std::max({hi, v.S, v.T});
        }
    }
    EXPECT_FLOAT_EQ(lo, static_cast<float>(u));
    EXPECT_FLOAT_EQ(hi, static_cast<float>(u + 4.0));
}

// Credits -------------------------------------------------------------------------------

struct HaltCalled : std::runtime_error {
    HaltCalled() : std::runtime_error("halt") {}
};

class Credits : public LayerScene {
  protected:
    void SetUp() override {
        LayerScene::SetUp();
        SetHaltHandler([] { throw HaltCalled(); });
    }
    void TearDown() override {
        SetHaltHandler(nullptr);
        LayerScene::TearDown();
    }
    // Bytes drawn by the credits layer, from the marker font's pass-through values.
    std::string LineDrawn(bool* halted) {
        std::string line;
        *halted = false;
        const Feedback drawn = CaptureFeedback([&] {
            try {
                DrawCredits();
            } catch (const HaltCalled&) {
                *halted = true;
            }
        });
        for (float marker : drawn.PassThrough) {
            line.push_back(static_cast<char>(static_cast<int>(marker - TextMarker)));
        }
        return line;
    }
};

TEST_F(Credits, EndsTheShowInTheFirstFrameWhoseEndTestReaches84000) {
    bool halted = false;
    Clock.At(83999);
    EXPECT_NO_THROW(DrawCredits());
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));

    Clock.Then({83999, 83999, 84000}); // the line still reads 83999
    EXPECT_THROW(DrawCredits(), HaltCalled);

    Clock.At(86900); // a late frame: line 31 would be past the table
    LineDrawn(&halted);
    EXPECT_TRUE(halted);
    Clock.At(0xFFFFFFF0u);
    LineDrawn(&halted);
    EXPECT_TRUE(halted);
}

TEST_F(Credits, ShowsOneEntryPerSpanOf2800) {
    if (!InstallMarkerFonts()) {
        GTEST_SKIP() << "outline fonts not built yet";
    }
    bool halted = false;
    Clock.At(11199);
    EXPECT_EQ(LineDrawn(&halted), "");
    Clock.At(11200);
    EXPECT_EQ(LineDrawn(&halted), CreditLines[4]);
    Clock.At(11200 + 2799);
    EXPECT_EQ(LineDrawn(&halted), CreditLines[4]);
    Clock.At(72799);
    EXPECT_EQ(LineDrawn(&halted), CreditLines[25]);
    Clock.At(72800);
    EXPECT_EQ(LineDrawn(&halted), "");
    Clock.At(86900);
    EXPECT_EQ(LineDrawn(&halted), "");
    EXPECT_TRUE(halted);
    // The German saying keeps its Windows-1252 umlauts as single bytes.
    Clock.At(2800 * 6);
    EXPECT_NE(LineDrawn(&halted).find('\xFC'), std::string::npos);
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
