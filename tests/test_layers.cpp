// The layers one by one in a real GL context against a scripted show clock: each draws
// what the timeline says, where it should, taking its readings of the show time in the
// show's order. The timeline's values themselves are tabled in test_timeline.
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tests/test_layers_scene.h"

// Picture show -------------------------------------------------------------------------

using PictureShow = LayerScene;

TEST_F(PictureShow, TitleDrawsItsSlotAtItsGreyLevelAcrossTheScreen) {
    struct Case {
        std::uint32_t Time;
        int Slot;
        unsigned Grey;
    };
    for (const Case& c : {Case{2000, 9, 200}, Case{5000, 10, 244}}) {
        Clock.At(c.Time);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        DrawPictureShow();
        for (std::uint32_t pixel : {Centre(), Gl->PixelAt(20, 0), Gl->PixelAt(619, 479)}) {
            EXPECT_TRUE(Near(pixel, Scaled(SlotColours[c.Slot], c.Grey)))
                << "time " << c.Time << " pixel " << std::hex << pixel;
        }
        EXPECT_EQ(BoundTexture(), static_cast<GLint>(Names[c.Slot])) << "time " << c.Time;
    }
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

TEST_F(PictureShow, ZoomEndsAfterDrawingThenStampsAndDrawsThePick) {
    PictureState = Zoom;
    PictureStamp = 10970;
    RandomSeed = 0x80000000u; // the next Random(7) is 3
    PictureFrameAt(Clock, 400, 11373);
    EXPECT_TRUE(Near(Centre(), Scaled(SlotColours[0], 128))) << std::hex << Centre();
    EXPECT_EQ(PictureState, Spin);
    EXPECT_EQ(PictureStamp, 11373u) << "the stamp is a fresh reading";
    EXPECT_EQ(PictureIndex, 3);
    EXPECT_EQ(RandomSeed, 0x80000001u) << "one draw";

    // The next frame shows the pick.
    PictureFrameAt(Clock, 90, 0);
    EXPECT_TRUE(Near(Centre(), Scaled(SlotColours[3], 128))) << std::hex << Centre();
    EXPECT_EQ(PictureState, Spin);
}

TEST_F(PictureShow, ZoomWindowClosesOnTheCentreAndIsNotClamped) {
    UseProjection(120.0); // the whole quad on screen, so feedback shows it unclipped
    PictureState = Zoom;
    PictureStamp = 20000;
    for (std::uint32_t e : {600u}) {
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

TEST_F(TextLayers, GlyphStackDrawsEightStackedGlyphsAndTheCentreGlyphThenSteps) {
    InstallMarkerFonts();
    Clock.At(12000);
    EXPECT_TRUE(CaptureFeedback(DrawGlyphStack).PassThrough.empty());
    EXPECT_EQ(Clock.Readings, 1);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0)) << "nothing is touched before the start";

    Clock.At(12001);
    const Feedback drawn = CaptureFeedback(DrawGlyphStack);
    std::vector<float> expected(8, SymbolMarker + 47);
    expected.push_back(SymbolMarker + 242);
    EXPECT_EQ(drawn.PassThrough, expected);
    ExpectTextLayerStateAfterDrawing();
    EXPECT_EQ(StackGlyphCode, 48);
    EXPECT_EQ(StackStamp, 12001u);
    const std::vector<float> colour = CurrentColour();
    EXPECT_NEAR(colour[0], 128 / 255.0f, 1e-3f);
    EXPECT_NEAR(colour[2], 0.0f, 1e-3f);

    // The stack stands a little left of the middle, rising from the centre of the screen.
    ASSERT_GE(drawn.Polygons.size(), 9u);
    double x = 0.0, y = 0.0;
    int count = 0;
    for (const auto& polygon : drawn.Polygons) {
        for (const auto& v : polygon) {
            x += v.X;
            y += v.Y;
            ++count;
        }
    }
    EXPECT_NEAR(x / count, 290.0, 60.0);
    EXPECT_NEAR(y / count, 340.0, 60.0);
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
    InstallMarkerFonts();
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
    // In the upper left of the screen.
    for (const auto& v : square) {
        EXPECT_LT(v.X, 320.0f);
        EXPECT_GT(v.Y, 240.0f);
    }
}

// Shimmer -------------------------------------------------------------------------------

using Shimmer = LayerScene;

TEST_F(Shimmer, StartsAbove14000AddingSlot8AtGrey50ScaledByItsAlpha) {
    Clock.At(14000);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawShimmer();
    EXPECT_EQ(RandomSeed, 0u) << "no random draw before the start";
    EXPECT_EQ(Centre(), 0u);

    // Over red 100: white at grey 50 adds 50; a half-transparent picture adds half that.
    for (std::uint8_t alpha : {255, 128}) {
        glDeleteTextures(1, &Names[8]);
        Names[8] = MakeSolidTexture(0xFFFFFF, alpha);
        Textures[8]->TextureName = Names[8];
        const std::uint32_t added = alpha == 255 ? 50 : 25;
        const std::uint32_t expected = ((100 + added) << 16) | (added << 8) | added;
        Clock.At(14001);
        glClearColor(100 / 255.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glLoadIdentity();
        DrawShimmer();
        for (std::uint32_t pixel : {Centre(), Gl->PixelAt(0, 0), Gl->PixelAt(639, 479)}) {
            EXPECT_TRUE(Near(pixel, expected))
                << "alpha " << int{alpha} << " " << std::hex << pixel;
        }
    }
    EXPECT_EQ(RandomSeed, 134775814u) << "one draw per frame";
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(Names[8]));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_FLOAT_EQ(m[14], 0.0f);
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

TEST_F(Credits, DrawsTheLineOfItsTimeAtTheBottomLeft) {
    InstallMarkerFonts();
    bool halted = false;
    Clock.At(11199);
    EXPECT_EQ(LineDrawn(&halted), "") << "entry 3 is empty";
    Clock.At(11200);
    EXPECT_EQ(LineDrawn(&halted), CreditLines[4]);
    // The German saying keeps its Windows-1252 umlauts as single bytes.
    Clock.At(2800 * 6);
    EXPECT_NE(LineDrawn(&halted).find('\xFC'), std::string::npos);
    Clock.At(86900);
    EXPECT_EQ(LineDrawn(&halted), "");
    EXPECT_TRUE(halted);

    Clock.At(11200);
    const Feedback drawn = CaptureFeedback(DrawCredits);
    ASSERT_FALSE(drawn.Polygons.empty());
    for (const auto& polygon : drawn.Polygons) {
        for (const auto& v : polygon) {
            EXPECT_LT(v.Y, 120.0f) << "near the bottom";
        }
    }
    EXPECT_LT(drawn.Polygons.front().front().X, 100.0f) << "starting near the left edge";
}
