// The spinning glyph: one large green symbol in the upper left, turning about a vertical
// axis beside it, with a picture projected onto it that stands still on the screen.
#include <GL/gl.h>

#include "show/Layers.h"
#include "show/OutlineFonts.h"
#include "show/ShowTime.h"

void DrawSpinningGlyph() {
    if (!SpinningGlyphShown(ShowTime())) {
        return;
    }
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glColor3ub(0, 200, 0);
    glTranslatef(-1.8f, 0.9f, -4.0f);
    glRotated(SpinningGlyphAngle(ShowTime()), 0.0, 1.0, 0.0);
    glTranslatef(-0.3f, 0.0f, 0.0f);
    BindTextureSlot(SpinningGlyphSlot);
    // Eye-linear generation with the default planes: s, t are eye-space x, y.
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    DrawSymbolString("N");
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_LIGHTING);
}
