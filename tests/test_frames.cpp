// Whole frames against a scripted show clock: the layers in their order, the OpenGL state they
// hand on, the end of the show, and pictures that do not depend on the frame rate.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "show/RenderFrame.h"
#include "tests/test_layers_scene.h"

class Frames : public LayerScene {
  protected:
    void SetUp() override {
        LayerScene::SetUp();
        // Real glyphs, built as the scene set-up builds them (no window here).
        BuildTextFont(nullptr);
        BuildSymbolFont(nullptr);
    }

    void FrameAt(std::uint32_t t) {
        Clock.At(t);
        RenderFrame();
    }

    // Keeps the picture show in the middle of a zoom, so whole frames at any time draw
    // no random number for it.
    static void HoldZoom(std::uint32_t t) {
        PictureState = Zoom;
        PictureStamp = t - 100;
    }
};

TEST_F(Frames, FirstFrameIsBlack) {
    FrameAt(0);
    const std::vector<std::uint8_t> pixels = Gl->ReadPixels();
    std::size_t lit = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        lit += (pixels[i] | pixels[i + 1] | pixels[i + 2]) != 0;
    }
    EXPECT_EQ(lit, 0u);
}

TEST_F(Frames, LayersSeeTheirStartsInPassThroughOrder) {
    InstallMarkerFonts();
    auto markers = [&](std::uint32_t t) {
        HoldZoom(t);
        Clock.At(t);
        return CaptureFeedback(RenderFrame).PassThrough;
    };
    EXPECT_TRUE(markers(8000).empty());
    EXPECT_EQ(markers(8001), std::vector<float>{SymbolMarker + 'N'});
    const std::size_t line4 = std::strlen(CreditLines[4]); // on screen from 11200 to 13999
    EXPECT_EQ(markers(12000).size(), 1 + line4);
    const std::vector<float> stack = markers(12001);
    ASSERT_EQ(stack.size(), 9 + 1 + line4);
    EXPECT_EQ(stack.front(), SymbolMarker + 47);
    EXPECT_EQ(stack[8], SymbolMarker + 242);
    EXPECT_EQ(stack[9], SymbolMarker + 'N');
    EXPECT_EQ(markers(15000)[0], SymbolMarker + 48);
    EXPECT_EQ(markers(11199).size(), 1u) << "entry 3 is empty";
    const std::vector<float> line = markers(11200);
    EXPECT_EQ(line.size(), 1 + std::strlen(CreditLines[4]));
    EXPECT_EQ(line.back(), TextMarker + static_cast<unsigned char>(CreditLines[4][25]));
}

TEST_F(Frames, LayersHandOnTheStateEveryFrameStartsFrom) {
    HoldZoom(20000);
    FrameAt(20000);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint depthFunction = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunction);
    EXPECT_EQ(depthFunction, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Frames, FrameAt83999IsDrawnWhole) {
    // The fixture's halt hook throws, so a frame that ended the show would fail here.
    HoldZoom(83999);
    FrameAt(83999);
    // Right of the glyphs and above the credits: the picture under the shimmer.
    const std::uint32_t pixel = Gl->PixelAt(600, 240);
    EXPECT_TRUE(Near(pixel, Scaled(SlotColours[PictureIndex], 128), 40)) << std::hex << pixel;
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << "the credits layer ran to its end";
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
}

TEST_F(Frames, FrameWhoseEndTestReads84000EndsTheProgramBeforeItIsShown) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    HoldZoom(84000);
    EXPECT_EXIT(
        {
            SetHaltHandler(nullptr); // the real halt: the process ends
            Clock.At(84000);
            RenderFrame();
            // Only reached if the frame came back to be swapped.
            std::fputs("frame returned", stderr);
            Gl->Swap();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "^$");
    EXPECT_EXIT(
        {
            SetHaltHandler(nullptr);
            // The frame before was drawn at 83000; this one reads late, past the last line.
            HoldZoom(86900);
            Clock.At(86900);
            RenderFrame();
            std::fputs("frame returned", stderr);
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "^$");
}

// Renders frames from 0 to before `until` every `step` ms. Only their state matters, so
// they are scissored down to one pixel to keep the test quick.
static void PlayHistory(ScriptedClock& clock, std::uint32_t step, std::uint32_t until) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 1, 1);
    for (std::uint32_t t = 0; t < until; t += step) {
        clock.At(t);
        RenderFrame();
    }
    glDisable(GL_SCISSOR_TEST);
}

TEST_F(Frames, SameShowTimeGivesTheSamePictureWhateverTheFrameRate) {
    // Before the first picture change the whole frame is a function of the show time.
    PlayHistory(Clock, 16, 9500);
    FrameAt(9500);
    const std::vector<std::uint8_t> fast = Gl->ReadPixels();
    ResetShowState();
    PlayHistory(Clock, 45, 9500);
    FrameAt(9500);
    EXPECT_EQ(Gl->ReadPixels(), fast);

    // Later, the documented exceptions aside (the picture show's drifting changes and the
    // random numbers), the frame still depends on the show time alone.
    auto settle = [] {
        PictureState = Spin;
        PictureStamp = 29950;
        PictureIndex = 3;
        RandomSeed = 777;
    };
    ResetShowState();
    PlayHistory(Clock, 16, 30000);
    settle();
    FrameAt(30000);
    const std::vector<std::uint8_t> fastLate = Gl->ReadPixels();
    const std::uint8_t fastCode = StackGlyphCode;
    ResetShowState();
    PlayHistory(Clock, 45, 30000);
    settle();
    FrameAt(30000);
    EXPECT_EQ(StackGlyphCode, fastCode);
    EXPECT_EQ(Gl->ReadPixels(), fastLate);
}
