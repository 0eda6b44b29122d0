// Scene set-up in a real GL context: the fixed state, the projection kept in step with
// the window, light 1, the fonts, and the eleven pictures in their slots.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/Scene.h"
#include "app/ShowWindow.h"
#include "show/OutlineFonts.h"
#include "tests/support/GlTestContext.h"

namespace {

namespace fs = std::filesystem;

// The picture of each slot, as the show names it (without its data/ folder).
const char* SlotFile(int slot) {
    return ShowDataFiles[slot] + std::strlen("data/");
}

// A fresh working folder with a data/ folder, left again (and removed) at the end.
class WorkingFolder {
  public:
    WorkingFolder() : Previous(fs::current_path()) {
        char pattern[] = "/tmp/larkspur-scene-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            Path = pattern;
            fs::create_directories(Path / "data");
            fs::current_path(Path);
        }
    }
    ~WorkingFolder() {
        fs::current_path(Previous);
        if (!Path.empty()) {
            fs::remove_all(Path);
        }
    }
    bool Ok() const { return !Path.empty(); }

  private:
    fs::path Previous;
    fs::path Path;
};

// Picture of slot i: 8 + 2i pixels wide, so that each slot's picture is known by width.
int SlotWidth(int slot) {
    return 8 + 2 * slot;
}

bool MakeSlotPicture(int slot) {
    std::string command = "convert -size " + std::to_string(SlotWidth(slot)) +
                          "x8 xc:'rgb(200,100,50)' data/" + SlotFile(slot);
    return std::system(command.c_str()) == 0;
}

void FreeTextures() {
    for (TTextureImage*& image : Textures) {
        delete image;
        image = nullptr;
    }
}

void ExpectMatrixNear(const float* actual, const float* expected, const char* what) {
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-5) << what << " element " << i;
    }
}

// The projection gluPerspective makes for this aspect, read back from GL.
void ExpectedProjection(float aspect, float* out) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(45.0, aspect, 0.1, 100.0);
    glGetFloatv(GL_PROJECTION_MATRIX, out);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

float ProjectionAspect() {
    float m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    return m[5] / m[0];
}

TEST(Scene, InitSceneSetsTheFixedStateProjectionFontsAndLight) {
    GlTestContext gl;
    ASSERT_TRUE(gl.Ok());
    WorkingFolder folder; // no pictures at all: every slot stays without a texture
    ASSERT_TRUE(folder.Ok());
    InitScene(640, 480);

    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    float clear[4] = {1, 1, 1, 1};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2] + clear[3], 0.0f);
    float depth = 0.0f;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(depth, 1.0f);

    float projection[16], expected[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    ExpectedProjection(640.0f / 480.0f, expected);
    ExpectMatrixNear(projection, expected, "projection");
    EXPECT_NEAR(ProjectionAspect(), 640.0f / 480.0f, 1e-5);
    float modelview[16];
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    ExpectMatrixNear(modelview, identity, "modelview");

    // Light 1 on, lighting as a whole still off.
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    float ambient[4], diffuse[4], position[4];
    glGetLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glGetLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glGetLightfv(GL_LIGHT1, GL_POSITION, position);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(ambient[i], LightAmbient[i]);
        EXPECT_FLOAT_EQ(diffuse[i], LightDiffuse[i]);
        EXPECT_FLOAT_EQ(position[i], LightPosition[i]);
    }
    EXPECT_FLOAT_EQ(LightAmbient[0], 0.5f);
    EXPECT_FLOAT_EQ(LightPosition[2], 2.0f);
    EXPECT_FLOAT_EQ(LightPosition[3], 1.0f);

    // Both fonts, each its own block of lists.
    EXPECT_NE(TextFontBase, 0u);
    EXPECT_NE(SymbolFontBase, 0u);
    EXPECT_GE(SymbolFontBase > TextFontBase ? SymbolFontBase - TextFontBase
                                            : TextFontBase - SymbolFontBase,
              static_cast<std::uint32_t>(FontListsReserved));

    // Eleven objects, none with a texture.
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        ASSERT_NE(Textures[slot], nullptr) << slot;
        EXPECT_EQ(Textures[slot]->TextureName, 0u) << slot;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    FreeTextures();
}

TEST(Scene, ZeroHeightCountsAsOne) {
    GlTestContext gl;
    ASSERT_TRUE(gl.Ok());
    WorkingFolder folder;
    InitScene(640, 0);
    EXPECT_NEAR(ProjectionAspect(), 640.0f, 1e-2);
    FreeTextures();

    // ResizeScene keeps viewport and projection in step and leaves the modelview alone.
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    ResizeScene(320, 200);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[1], 0);
    EXPECT_EQ(viewport[2], 320);
    EXPECT_EQ(viewport[3], 200);
    EXPECT_NEAR(ProjectionAspect(), 1.6f, 1e-5);
    ResizeScene(640, 0);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);
    EXPECT_NEAR(ProjectionAspect(), 640.0f, 1e-2);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_FLOAT_EQ(modelview[12], 1.0f);
    EXPECT_FLOAT_EQ(modelview[13], 2.0f);
    EXPECT_FLOAT_EQ(modelview[14], 3.0f);
}

TEST(Scene, PicturesLoadIntoTheirSlotsInOrder) {
    GlTestContext gl;
    ASSERT_TRUE(gl.Ok());
    WorkingFolder folder;
    ASSERT_TRUE(folder.Ok());
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        ASSERT_TRUE(MakeSlotPicture(slot));
    }
    LoadTextures();
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        ASSERT_NE(Textures[slot], nullptr);
        EXPECT_EQ(Textures[slot]->Width, SlotWidth(slot)) << SlotFile(slot);
        EXPECT_NE(Textures[slot]->TextureName, 0u) << SlotFile(slot);
        for (int other = 0; other < slot; ++other) {
            EXPECT_NE(Textures[slot]->TextureName, Textures[other]->TextureName);
        }
    }
    FreeTextures();
}

TEST(Scene, AMissingPictureLeavesOnlyItsSlotWithoutATexture) {
    GlTestContext gl;
    ASSERT_TRUE(gl.Ok());
    WorkingFolder folder;
    ASSERT_TRUE(folder.Ok());
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        if (slot != 8) {
            ASSERT_TRUE(MakeSlotPicture(slot));
        }
    }
    fs::remove("data/r.jpg");
    LoadTextures();
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        ASSERT_NE(Textures[slot], nullptr);
        if (slot == 8) {
            EXPECT_EQ(Textures[slot]->TextureName, 0u);
            EXPECT_EQ(Textures[slot]->Pixels, nullptr);
        } else {
            EXPECT_EQ(Textures[slot]->Width, SlotWidth(slot)) << SlotFile(slot);
            EXPECT_NE(Textures[slot]->TextureName, 0u) << SlotFile(slot);
        }
    }
    FreeTextures();
}

} // namespace
