// Test scene for the show's layers: a real GL context set up the way the scene set-up
// leaves it, a solid-colour texture in every slot, a scripted show clock, marker fonts
// whose glyph lists record which character they drew, and GL feedback capture.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <vector>

#include "app/Scene.h"
#include "audio/MusicPlayer.h"
#include "show/HaltProgram.h"
#include "show/Layers.h"
#include "show/OutlineFonts.h"
#include "show/Random.h"
#include "tests/support/GlTestContext.h"

// One colour per texture slot, distinct enough to tell slots apart on the screen.
inline constexpr std::uint32_t SlotColours[TextureSlotCount] = {
    0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF,
    0xFF8000, 0x8000FF, 0xFFFFFF, 0x80FF80, 0xFF8080};

// Pass-through values of the marker fonts: base + character code.
constexpr float TextMarker = 1000.0f;
constexpr float SymbolMarker = 2000.0f;

// The show clock under test control. Readings are taken from the script in order; the
// last one repeats. Counts every reading.
struct ScriptedClock {
    std::deque<std::uint32_t> Script;
    std::uint32_t Last = 0;
    int Readings = 0;

    void At(std::uint32_t t) {
        Script.clear();
        Last = t;
    }
    void Then(std::initializer_list<std::uint32_t> readings) {
        Script.assign(readings.begin(), readings.end());
    }
    std::uint32_t Read() {
        ++Readings;
        if (!Script.empty()) {
            Last = Script.front();
            Script.pop_front();
        }
        return Last;
    }
};

struct FeedbackVertex {
    float X, Y, Z, W;
    float R, G, B, A;
    float S, T, P, Q;
};

struct Feedback {
    std::vector<std::vector<FeedbackVertex>> Polygons;
    std::vector<float> PassThrough;
};

// Runs draw in feedback mode and returns the polygons (window coordinates, colour,
// texture coordinates) and pass-through markers it produced, in order.
inline Feedback CaptureFeedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    Feedback result;
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    auto vertex = [&](std::size_t& i) {
        FeedbackVertex v{};
        float* fields = &v.X;
        for (int k = 0; k < 12 && i < buffer.size(); ++k) {
            fields[k] = buffer[i++];
        }
        return v;
    };
    for (std::size_t i = 0; i < static_cast<std::size_t>(used > 0 ? used : 0);) {
        const auto token = static_cast<GLenum>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int count = static_cast<int>(buffer[i++]);
            std::vector<FeedbackVertex> polygon;
            for (int k = 0; k < count; ++k) {
                polygon.push_back(vertex(i));
            }
            result.Polygons.push_back(polygon);
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            result.PassThrough.push_back(buffer[i++]);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            vertex(i);
            vertex(i);
        } else {
            vertex(i); // points, bitmaps and pixel rectangles carry one vertex
        }
    }
    return result;
}

inline std::uint32_t Scaled(std::uint32_t colour, unsigned grey) {
    auto channel = [&](int shift) {
        return static_cast<std::uint32_t>(((colour >> shift) & 0xFFu) * grey / 255.0 + 0.5);
    };
    return (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

// True when the two colours differ by at most tolerance in every channel.
inline bool Near(std::uint32_t a, std::uint32_t b, int tolerance = 2) {
    for (int shift = 0; shift <= 16; shift += 8) {
        const int d =
            static_cast<int>((a >> shift) & 0xFFu) - static_cast<int>((b >> shift) & 0xFFu);
        if (d > tolerance || d < -tolerance) {
            return false;
        }
    }
    return true;
}

// Thrown by the halt hook the fixture installs: a show that ends inside a test fails that
// test instead of ending the test program with status 0.
struct UnexpectedHalt : std::runtime_error {
    UnexpectedHalt() : std::runtime_error("the show ended inside a test") {}
};

class LayerScene : public ::testing::Test {
  protected:
    void SetUp() override {
        Gl = std::make_unique<GlTestContext>();
        ASSERT_TRUE(Gl->Ok());
        // The fixed state, projection and light the scene set-up leaves, made by its own
        // code; the pictures and fonts are the fixture's.
        SetSceneState(Gl->Width(), Gl->Height());
        SetSceneLight();
        for (int slot = 0; slot < TextureSlotCount; ++slot) {
            Names[slot] = MakeSolidTexture(SlotColours[slot]);
            Textures[slot] = new TTextureImage("");
            Textures[slot]->TextureName = Names[slot];
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        SavedTextBase = TextFontBase;
        SavedSymbolBase = SymbolFontBase;
        ResetShowState();
        SetShowTimeSource([this] { return Clock.Read(); });
        SetHaltHandler([] { throw UnexpectedHalt(); });
    }

    void TearDown() override {
        SetHaltHandler(nullptr);
        SetShowTimeSource({});
        for (auto& slot : Textures) {
            if (slot != nullptr) {
                slot->TextureName = 0;
                delete slot;
                slot = nullptr;
            }
        }
        TextFontBase = SavedTextBase;
        SymbolFontBase = SavedSymbolBase;
        ResetShowState();
    }

    static void ResetShowState() {
        PictureState = Title;
        PictureStamp = 0;
        PictureIndex = 0;
        StackGlyphCode = 47;
        StackStamp = 0;
        RandomSeed = 0;
    }

    static void UseProjection(double fieldOfView) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(fieldOfView, 640.0f / 480.0f, 0.1, 100.0);
        glMatrixMode(GL_MODELVIEW);
    }

    static GLuint MakeSolidTexture(std::uint32_t colour, std::uint8_t alpha = 255) {
        std::vector<std::uint8_t> pixels(8 * 8 * 4);
        for (std::size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = static_cast<std::uint8_t>(colour >> 16);
            pixels[i + 1] = static_cast<std::uint8_t>(colour >> 8);
            pixels[i + 2] = static_cast<std::uint8_t>(colour);
            pixels[i + 3] = alpha;
        }
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return name;
    }

    // Replaces both fonts by glyph lists that pass through base + code and draw a small
    // square, then step right.
    static void InstallMarkerFonts() {
        TextFontBase = MakeMarkerFont(TextMarker);
        SymbolFontBase = MakeMarkerFont(SymbolMarker);
    }

    static GLuint MakeMarkerFont(float marker) {
        const GLuint base = glGenLists(FontListsReserved);
        for (int code = 0; code < FontGlyphsBuilt; ++code) {
            glNewList(base + code, GL_COMPILE);
            glPassThrough(marker + static_cast<float>(code));
            glBegin(GL_QUADS);
            glNormal3f(0.0f, 0.0f, 1.0f);
            glVertex3f(0.0f, 0.0f, 0.0f);
            glVertex3f(0.8f, 0.0f, 0.0f);
            glVertex3f(0.8f, 0.8f, 0.0f);
            glVertex3f(0.0f, 0.8f, 0.0f);
            glEnd();
            glTranslatef(1.0f, 0.0f, 0.0f);
            glEndList();
        }
        return base;
    }

    static GLint BoundTexture() {
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return name;
    }

    static std::vector<float> CurrentColour() {
        std::vector<float> colour(4);
        glGetFloatv(GL_CURRENT_COLOR, colour.data());
        return colour;
    }

    std::uint32_t Centre() const { return Gl->PixelAt(320, 240); }

    std::unique_ptr<GlTestContext> Gl;
    ScriptedClock Clock;
    GLuint Names[TextureSlotCount] = {};
    std::uint32_t SavedTextBase = 0;
    std::uint32_t SavedSymbolBase = 0;
};
