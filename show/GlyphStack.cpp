// The glyph stack: eight tumbling symbol glyphs in a column, magenta at the bottom to
// green at the top, with a centre glyph; the stack's symbol steps every five seconds.
#include <GL/gl.h>

#include "show/Layers.h"
#include "show/OutlineFonts.h"
#include "show/ShowTime.h"

std::uint8_t StackGlyphCode = GlyphStackState{}.Code;
std::uint32_t StackStamp = GlyphStackState{}.Stamp;

// Every glyph of the stack stands four units in front of the eye, a little left of centre.
static void DrawStackGlyph(const StackGlyph& glyph) {
    glLoadIdentity();
    glTranslatef(-0.2f, glyph.Y, -4.0f);
    glRotatef(glyph.AngleZ, 0.0f, 0.0f, 1.0f);
    glRotatef(glyph.AngleY, 0.0f, 1.0f, 0.0f);
    glColor3ub(glyph.Colour[0], glyph.Colour[1], glyph.Colour[2]);
    const char text[2] = {static_cast<char>(glyph.Code), '\0'};
    DrawSymbolString(text);
}

void DrawGlyphStack() {
    if (!GlyphStackShown(ShowTime())) {
        return;
    }
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);

    // Each swing takes its own reading, z before y.
    for (int i = 0; i < StackGlyphCount; ++i) {
        const std::uint32_t tz = ShowTime();
        const std::uint32_t ty = ShowTime();
        DrawStackGlyph(StackGlyphAt(i, tz, ty, StackGlyphCode));
    }
    const std::uint32_t tz = ShowTime();
    const std::uint32_t ty = ShowTime();
    DrawStackGlyph(CentreGlyphAt(tz, ty));

    glDisable(GL_LIGHTING);

    // The first frame finds the stamp at 0 and steps at once: code 47 shows for one frame.
    if (StackStepDue({StackGlyphCode, StackStamp}, ShowTime())) {
        const GlyphStackState next = StepGlyphStack({StackGlyphCode, StackStamp}, ShowTime());
        StackGlyphCode = next.Code;
        StackStamp = next.Stamp;
    }
}
