// The glyph stack: eight tumbling symbol glyphs in a column, magenta at the bottom to
// green at the top, with a centre glyph; the stack's symbol steps every five seconds.
#include <cmath>

#include <GL/gl.h>

#include "show/Layers.h"
#include "show/OutlineFonts.h"
#include "show/ShowTime.h"

std::uint8_t StackGlyphCode = 47;
std::uint32_t StackStamp = 0;

constexpr std::uint32_t StackStart = 12000;
constexpr std::uint32_t StackStepLength = 5000;
constexpr unsigned char CentreGlyphCode = 0xF2;

// trunc(sin(t / period) × 128): a whole number of degrees, from a fresh reading.
static double SwingAngle(double period) {
    return std::trunc(std::sin(static_cast<double>(ShowTime()) / period) * 128.0);
}

void DrawGlyphStack() {
    if (ShowTime() <= StackStart) {
        return;
    }
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);

    const char glyph[2] = {static_cast<char>(StackGlyphCode), '\0'};
    for (int i = 0; i < 8; ++i) {
        glLoadIdentity();
        glTranslatef(-0.2f, static_cast<GLfloat>(i / 5.0), -4.0f);
        glRotatef(static_cast<GLfloat>(SwingAngle(300.0) + 63 * i), 0.0f, 0.0f, 1.0f);
        glRotatef(static_cast<GLfloat>(SwingAngle(500.0) + 20 * i), 0.0f, 1.0f, 0.0f);
        glColor3ub(static_cast<GLubyte>(255 - 32 * i), static_cast<GLubyte>(32 * i),
                   static_cast<GLubyte>(255 - 32 * i));
        DrawSymbolString(glyph);
    }

    const char centre[2] = {static_cast<char>(CentreGlyphCode), '\0'};
    glLoadIdentity();
    glTranslatef(-0.2f, 0.0f, -4.0f);
    glRotatef(static_cast<GLfloat>(SwingAngle(500.0)), 0.0f, 0.0f, 1.0f);
    glRotatef(static_cast<GLfloat>(SwingAngle(400.0)), 0.0f, 1.0f, 0.0f);
    glColor3ub(128, 128, 0);
    DrawSymbolString(centre);

    glDisable(GL_LIGHTING);

    // The first frame finds the stamp at 0 and steps at once: code 47 shows for one frame.
    if (ShowTime() - StackStamp > StackStepLength) {
        StackStamp = ShowTime();
        StackGlyphCode = static_cast<std::uint8_t>(StackGlyphCode + 1);
    }
}
