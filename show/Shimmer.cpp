// The shimmer: a faint tiled picture added over the frame at a new random offset every
// frame, its brightness swelling and ebbing slowly with the show time.
#include <GL/gl.h>

#include "show/Layers.h"
#include "show/Random.h"
#include "show/ShowTime.h"

void DrawShimmer() {
    if (!ShimmerShown(ShowTime())) {
        return; // no random draw either
    }
    const GLubyte grey = ShimmerGrey(ShowTime());
    const double u = ShimmerOffset(RandomSeed);

    // Added to the frame, scaled by the picture's alpha.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    glTranslatef(0.0f, 0.0f, -2.0f);
    BindTextureSlot(ShimmerSlot);
    glColor3ub(grey, grey, grey);

    // A 2 × 2 quad one unit in front of the eye covers the screen; the picture repeats
    // four times across it.
    const GLfloat lo = static_cast<GLfloat>(u);
    const GLfloat hi = static_cast<GLfloat>(u + 4.0);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(lo, lo);
    glVertex3f(-1.0f, -1.0f, 1.0f);
    glTexCoord2f(hi, lo);
    glVertex3f(1.0f, -1.0f, 1.0f);
    glTexCoord2f(hi, hi);
    glVertex3f(1.0f, 1.0f, 1.0f);
    glTexCoord2f(lo, hi);
    glVertex3f(-1.0f, 1.0f, 1.0f);
    glEnd();
    glTranslatef(0.0f, 0.0f, 2.0f);

    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}
