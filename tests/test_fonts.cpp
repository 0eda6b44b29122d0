// The outline fonts drawn in a real GL context: list blocks, glyph placement, lighting
// of front and sides, open counters, ANSI letters above 127 and the show's symbols.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/Scene.h"
#include "app/ShowWindow.h"
#include "platform/Win32Fonts.h"
#include "platform/sdl/Fonts.h"
#include "show/OutlineFonts.h"
#include "tests/support/GlTestContext.h"

namespace {

constexpr int Width = 640;
constexpr int Height = 480;

struct Ink {
    int Count = 0;
    int MinX = Width;
    int MaxX = -1;
    int MinY = Height;
    int MaxY = -1;
};

bool Lit(const std::vector<std::uint8_t>& pixels, int x, int y) {
    const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * Width + x) * 4];
    return p[0] > 24 || p[1] > 24 || p[2] > 24;
}

Ink InkOf(const std::vector<std::uint8_t>& pixels) {
    Ink ink;
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            if (Lit(pixels, x, y)) {
                ++ink.Count;
                ink.MinX = std::min(ink.MinX, x);
                ink.MaxX = std::max(ink.MaxX, x);
                ink.MinY = std::min(ink.MinY, y);
                ink.MaxY = std::max(ink.MaxY, y);
            }
        }
    }
    return ink;
}

float Brightness(const GlTestContext& gl, int x, int y) {
    std::uint32_t rgb = gl.PixelAt(x, y);
    return static_cast<float>(((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF));
}

// The lights of the text layers: light 0 at its defaults, light 1 as the scene set it,
// the current colour as material.
void ShowLighting(bool on) {
    if (on) {
        glEnable(GL_LIGHT0);
        glEnable(GL_LIGHTING);
        glEnable(GL_COLOR_MATERIAL);
    } else {
        glDisable(GL_LIGHTING);
    }
}

// An orthographic view in which one em is `pixelsPerEm` pixels and the origin is the
// pixel (originX, originY), four units in front of the eye like the show's glyphs.
void OrthoView(float pixelsPerEm, float originX, float originY) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-originX / pixelsPerEm, (Width - originX) / pixelsPerEm, -originY / pixelsPerEm,
            (Height - originY) / pixelsPerEm, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -4.0f);
}

void Clear() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

float ModelviewX() {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    return m[12];
}

// Writes the back buffer to a PNG in the build folder, for a person to look at.
void WritePng(const std::vector<std::uint8_t>& pixels, const char* name) {
    const char* dir = std::getenv("LARKSPUR_BUILD_DIR");
    std::string path = std::string(dir != nullptr ? dir : ".") + "/" + name;
    std::string command = "convert -size 640x480 -depth 8 rgba:- -flip -alpha off '" + path + "'";
    FILE* convert = popen(command.c_str(), "w");
    if (convert != nullptr) {
        std::fwrite(pixels.data(), 1, pixels.size(), convert);
        pclose(convert);
    }
}

class OutlineFonts : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        Gl = new GlTestContext(Width, Height);
        ASSERT_TRUE(Gl->Ok());
        // No data/ here: the pictures stay empty and the scene is otherwise complete.
        InitScene(Width, Height);
        glDisable(GL_TEXTURE_2D);
        Metrics = new Metrics2;
        // The same two fonts again, for their metrics.
        HFONT text = CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "Arial");
        HFONT symbol = CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, OUT_TT_PRECIS,
                                   CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "Wingdings");
        TextFont = text;
        SymbolFont = symbol;
        GLuint scratch = glGenLists(2 * 256);
        SelectObject(nullptr, text);
        wglUseFontOutlinesA(nullptr, 0, 255, scratch, 0.0f, 0.2f, WGL_FONT_POLYGONS, Metrics->Text);
        SelectObject(nullptr, symbol);
        wglUseFontOutlinesA(nullptr, 0, 255, scratch + 256, 0.0f, 0.2f, WGL_FONT_POLYGONS,
                            Metrics->Symbol);
        glDeleteLists(scratch, 2 * 256);
    }
    static void TearDownTestSuite() {
        delete Metrics;
        delete Gl;
    }
    void SetUp() override {
        glDisable(GL_LIGHTING);
        glColor3f(1.0f, 1.0f, 1.0f);
    }

    struct Metrics2 {
        GLYPHMETRICSFLOAT Text[256] = {};
        GLYPHMETRICSFLOAT Symbol[256] = {};
    };
    static GlTestContext* Gl;
    static Metrics2* Metrics;
    static HFONT TextFont;
    static HFONT SymbolFont;
};

GlTestContext* OutlineFonts::Gl = nullptr;
OutlineFonts::Metrics2* OutlineFonts::Metrics = nullptr;
HFONT OutlineFonts::TextFont = nullptr;
HFONT OutlineFonts::SymbolFont = nullptr;

TEST_F(OutlineFonts, EachFontOwnsItsBlockOfListsWithGlyphsBuiltBelowCode255) {
    ASSERT_NE(TextFontBase, 0u);
    ASSERT_NE(SymbolFontBase, 0u);
    std::uint32_t low = std::min(TextFontBase, SymbolFontBase);
    std::uint32_t high = std::max(TextFontBase, SymbolFontBase);
    EXPECT_GE(high - low, static_cast<std::uint32_t>(FontListsReserved));
    for (std::uint32_t base : {TextFontBase, SymbolFontBase}) {
        for (int code = 0; code < FontListsReserved; ++code) {
            EXPECT_TRUE(glIsList(base + code)) << "list " << code << " not reserved";
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OutlineFonts, Code255AndEmptyAndNullStringsDrawNothingAndStayPut) {
    OrthoView(200.0f, 100.0f, 100.0f);
    GLint baseBefore = -1;
    glListBase(7);
    for (const char* text : {"\xFF", "", static_cast<const char*>(nullptr)}) {
        Clear();
        glPushMatrix();
        DrawTextString(text);
        DrawSymbolString(text);
        EXPECT_FLOAT_EQ(ModelviewX(), 0.0f);
        glPopMatrix();
        EXPECT_EQ(InkOf(Gl->ReadPixels()).Count, 0);
    }
    glGetIntegerv(GL_LIST_BASE, &baseBefore);
    EXPECT_EQ(baseBefore, 7);
    glListBase(0);
    // Strings push and pop nothing but the list bit: the attribute stack is balanced.
    GLint depth = -1;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 0);
}

TEST_F(OutlineFonts, GlyphsStandSideBySideByTheirAdvances) {
    const GLYPHMETRICSFLOAT& h = Metrics->Text[int{'H'}];
    const GLYPHMETRICSFLOAT& l = Metrics->Text[int{'l'}];
    ASSERT_GT(h.gmfCellIncX, 0.5f);
    ASSERT_LT(h.gmfCellIncX, 1.0f);
    ASSERT_GT(h.gmfBlackBoxY, 0.6f); // a capital of a sans face: about 0.72 em
    ASSERT_LT(h.gmfBlackBoxY, 0.8f);

    const float ppe = 200.0f, ox = 40.0f, oy = 100.0f;
    OrthoView(ppe, ox, oy);
    Clear();
    glPushMatrix();
    DrawTextString("Hl");
    EXPECT_NEAR(ModelviewX(), h.gmfCellIncX + l.gmfCellIncX, 1e-5);
    glPopMatrix();
    Ink ink = InkOf(Gl->ReadPixels());
    float left = ox + ppe * h.gmfptGlyphOrigin.x;
    float right = ox + ppe * (h.gmfCellIncX + l.gmfptGlyphOrigin.x + l.gmfBlackBoxX);
    float top = oy + ppe * std::max(h.gmfptGlyphOrigin.y, l.gmfptGlyphOrigin.y);
    EXPECT_NEAR(ink.MinX, left, 1.5);
    EXPECT_NEAR(ink.MaxX + 1, right, 1.5);
    EXPECT_NEAR(ink.MinY, oy, 1.5);
    EXPECT_NEAR(ink.MaxY + 1, top, 1.5);

    // The gap between the two glyphs is where the advance puts it.
    std::vector<std::uint8_t> pixels = Gl->ReadPixels();
    int gapX = static_cast<int>(ox + ppe * (h.gmfCellIncX + l.gmfptGlyphOrigin.x) - 3);
    int rowY = static_cast<int>(oy + ppe * 0.1f);
    EXPECT_FALSE(Lit(pixels, gapX, rowY));
    EXPECT_TRUE(Lit(pixels, gapX + 6, rowY));
}

TEST_F(OutlineFonts, LitFrontFaceIsBrighterThanItsSideWall) {
    // An "I" turned 30 degrees about the vertical: its front face and its left wall both
    // face the eye, the wall more obliquely.
    const GLYPHMETRICSFLOAT& i = Metrics->Text[int{'I'}];
    const float ppe = 300.0f, ox = 300.0f, oy = 100.0f, angle = 30.0f;
    OrthoView(ppe, ox, oy);
    Clear();
    ShowLighting(true);
    glColor3ub(80, 80, 80);
    glRotatef(angle, 0.0f, 1.0f, 0.0f);
    DrawTextString("I");
    ShowLighting(false);

    float c = std::cos(angle * 3.14159265f / 180.0f), s = std::sin(angle * 3.14159265f / 180.0f);
    float x0 = i.gmfptGlyphOrigin.x, x1 = x0 + i.gmfBlackBoxX;
    int y = static_cast<int>(oy + ppe * 0.35f);
    int frontX = static_cast<int>(ox + ppe * c * (x0 + x1) / 2);
    int wallX = static_cast<int>(ox + ppe * (x0 * c - 0.1f * s));
    float front = Brightness(*Gl, frontX, y);
    float wall = Brightness(*Gl, wallX, y);
    // Ambient light alone would give the wall 3 × 80 × 0.7 = 168; its outward normal,
    // half turned to both lights, adds about as much again.
    EXPECT_GT(wall, 300.0f) << "the wall faces outward, into the light";
    EXPECT_GT(front, wall + 60.0f);
    EXPECT_EQ(Brightness(*Gl, wallX - 25, y), 0.0f) << "nothing left of the wall";
}

TEST_F(OutlineFonts, CountersStayOpen) {
    const float ppe = 300.0f, ox = 100.0f, oy = 100.0f;
    for (const char* text : {"O", "B", "e", "A", "\xE4"}) {
        OrthoView(ppe, ox, oy);
        Clear();
        DrawTextString(text);
        std::vector<std::uint8_t> pixels = Gl->ReadPixels();
        Ink ink = InkOf(pixels);
        ASSERT_GT(ink.Count, 1000) << text;
        // Along the middle row of the counter: ink, then a hole, then ink.
        int y = std::string(text) == "A"   ? ink.MinY + (ink.MaxY - ink.MinY) * 11 / 20
                : std::string(text) == "B" ? ink.MinY + (ink.MaxY - ink.MinY) * 3 / 4
                : std::string(text) == "e" ? ink.MinY + (ink.MaxY - ink.MinY) * 2 / 3
                : std::string(text) == "O" ? (ink.MinY + ink.MaxY) / 2
                                           : ink.MinY + (ink.MaxY - ink.MinY) / 5;
        int runs = 0;
        bool inside = false;
        for (int x = ink.MinX; x <= ink.MaxX; ++x) {
            bool lit = Lit(pixels, x, y);
            if (lit && !inside) {
                ++runs;
            }
            inside = lit;
        }
        EXPECT_GE(runs, 2) << "no open counter across row " << y << " of " << text;
    }
    // The middle of the "O" is background.
    OrthoView(ppe, ox, oy);
    Clear();
    DrawTextString("O");
    Ink ink = InkOf(Gl->ReadPixels());
    EXPECT_EQ(Gl->PixelAt((ink.MinX + ink.MaxX) / 2, (ink.MinY + ink.MaxY) / 2), 0u);
}

TEST_F(OutlineFonts, AnsiBytesAbove127DrawTheirLetters) {
    EXPECT_EQ(FontCharacterOfCode(TextFont, 0xE4), U'\u00E4');
    EXPECT_EQ(FontCharacterOfCode(TextFont, 0x80), U'\u20AC');
    EXPECT_EQ(FontCharacterOfCode(TextFont, 0x9F), U'\u0178');
    EXPECT_EQ(FontCharacterOfCode(TextFont, 0xFF), U'\u00FF');
    for (unsigned undefined : {0x81u, 0x8Du, 0x8Fu, 0x90u, 0x9Du}) {
        EXPECT_EQ(FontCharacterOfCode(TextFont, undefined), 0u) << undefined;
    }

    // "ä" is an "a" with two dots above it.
    const float ppe = 300.0f;
    OrthoView(ppe, 100.0f, 100.0f);
    Clear();
    DrawTextString("a");
    std::vector<std::uint8_t> plain = Gl->ReadPixels();
    OrthoView(ppe, 100.0f, 100.0f);
    Clear();
    DrawTextString("\xE4");
    std::vector<std::uint8_t> umlaut = Gl->ReadPixels();
    Ink a = InkOf(plain), ae = InkOf(umlaut);
    EXPECT_NEAR(ae.MinY, a.MinY, 1);
    EXPECT_GT(ae.MaxY, a.MaxY + 20);
    // Within the rows of the "a" the two agree, give or take the odd pixel of an outline
    // drawn separately into the accented letter.
    auto litNear = [](const std::vector<std::uint8_t>& pixels, int x, int y) {
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) {
                int nx = x + dx, ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < Width && ny < Height && Lit(pixels, nx, ny)) {
                    return true;
                }
            }
        }
        return false;
    };
    int differing = 0;
    for (int y = a.MinY; y <= a.MaxY; ++y) {
        for (int x = 0; x < Width; ++x) {
            differing += (Lit(plain, x, y) && !litNear(umlaut, x, y)) ||
                         (Lit(umlaut, x, y) && !litNear(plain, x, y));
        }
    }
    EXPECT_LT(differing, a.Count / 100);

    // "€" has ink; the undefined 0x81 has none but still moves on.
    Clear();
    DrawTextString("\x80");
    EXPECT_GT(InkOf(Gl->ReadPixels()).Count, 1000);
    Clear();
    glPushMatrix();
    DrawTextString("\x81");
    EXPECT_GT(ModelviewX(), 0.2f);
    glPopMatrix();
    EXPECT_EQ(InkOf(Gl->ReadPixels()).Count, 0);
}

TEST_F(OutlineFonts, SymbolsOfTheShowDrawTheirSymbols) {
    // The stack's codes over the show, the spinning "N" and the centre glyph, with the
    // characters they stand for.
    struct Expected {
        unsigned Code;
        char32_t Character;
    };
    const Expected expected[] = {
        {47, U'\U0001F4ED'},  {48, U'\U0001F5C0'}, {49, U'\U0001F5C1'}, {50, U'\U0001F5CE'},
        {51, U'\U0001F5CF'},  {52, U'\U0001F5D0'}, {53, U'\U0001F5C4'}, {54, U'\u23F3'},
        {55, U'\U0001F5AE'},  {56, U'\U0001F5B0'}, {57, U'\U0001F5B2'}, {58, U'\U0001F5B3'},
        {59, U'\U0001F5B4'},  {60, U'\U0001F5AB'}, {61, U'\U0001F5AC'}, {62, U'\u2707'},
        {'N', U'\U0001F571'}, {242, U'\u21E9'},
    };
    std::string face = FontFaceFile(SymbolFont);
    ASSERT_FALSE(face.empty());
    bool realWingdings = face.find("ingding") != std::string::npos;
    OrthoView(200.0f, 100.0f, 100.0f);
    for (const Expected& e : expected) {
        if (!realWingdings) {
            EXPECT_EQ(FontCharacterOfCode(SymbolFont, e.Code), e.Character) << e.Code;
        }
        char text[2] = {static_cast<char>(e.Code), 0};
        Clear();
        glPushMatrix();
        DrawSymbolString(text);
        EXPECT_NEAR(ModelviewX(), Metrics->Symbol[e.Code].gmfCellIncX, 1e-5);
        glPopMatrix();
        EXPECT_GT(InkOf(Gl->ReadPixels()).Count, 2000) << "code " << e.Code;
    }
    // A code without a symbol draws nothing but moves on by the face's default advance.
    Clear();
    glPushMatrix();
    DrawSymbolString("\x7F");
    EXPECT_GT(ModelviewX(), 0.1f);
    glPopMatrix();
    EXPECT_EQ(InkOf(Gl->ReadPixels()).Count, 0);
}

TEST_F(OutlineFonts, UnknownFaceBuildsEmptyListsAndTheRestGoesOn) {
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, "No Such Face Xq");
    EXPECT_EQ(FontFaceFile(font), "");
    GLuint base = glGenLists(300);
    SelectObject(nullptr, font);
    GLYPHMETRICSFLOAT metrics[256];
    EXPECT_EQ(wglUseFontOutlinesA(nullptr, 0, 255, base, 0.0f, 0.2f, WGL_FONT_POLYGONS, metrics),
              FALSE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    OrthoView(200.0f, 100.0f, 100.0f);
    Clear();
    glPushMatrix();
    glListBase(base);
    glCallLists(3, GL_UNSIGNED_BYTE, "AOe");
    glListBase(0);
    EXPECT_FLOAT_EQ(ModelviewX(), 0.0f);
    glPopMatrix();
    EXPECT_EQ(InkOf(Gl->ReadPixels()).Count, 0);
    glDeleteLists(base, 300);
}

// A frame like the show's: perspective, the stack of symbols, the spinning "N", and a
// line of credits at depth 15; written to a PNG to be looked at.
TEST_F(OutlineFonts, TestSceneRendersTextAndSymbols) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    Clear();
    ShowLighting(true);
    for (int i = 0; i < 8; ++i) {
        glLoadIdentity();
        glTranslatef(-0.2f + 0.9f, i / 5.0f - 1.2f, -4.0f);
        glRotatef(static_cast<float>(20 + 25 * i), 0.0f, 0.0f, 1.0f);
        glRotatef(static_cast<float>(-40 + 10 * i), 0.0f, 1.0f, 0.0f);
        glColor3ub(static_cast<GLubyte>(255 - 32 * i), static_cast<GLubyte>(32 * i),
                   static_cast<GLubyte>(255 - 32 * i));
        char code[2] = {static_cast<char>(48 + i), 0};
        DrawSymbolString(code);
    }
    glLoadIdentity();
    glColor3ub(0, 200, 0);
    glTranslatef(-1.8f, 0.9f, -4.0f);
    glRotatef(35.0f, 0.0f, 1.0f, 0.0f);
    glTranslatef(-0.3f, 0.0f, 0.0f);
    DrawSymbolString("N");
    glLoadIdentity();
    glTranslatef(-0.6f, 0.25f, -4.0f);
    glColor3ub(128, 128, 0);
    DrawSymbolString("\xF2");
    glTranslatef(0.5f, 0.0f, 0.0f);
    glColor3ub(230, 180, 60);
    DrawTextString("ABe\xE4\x80");
    glLoadIdentity();
    glTranslatef(-8.0f, -4.5f, -15.0f);
    glColor3f(0.9f, 0.6f, 0.3f);
    DrawTextString("Gr\xFC\xDF"
                   "e an alle: \x84Quarks\x93 & \xC6\xD8\xC5 \x80 9");
    ShowLighting(false);

    std::vector<std::uint8_t> pixels = Gl->ReadPixels();
    EXPECT_GT(InkOf(pixels).Count, 20000);
    WritePng(pixels, "fonts-test-scene.png");
}

} // namespace
