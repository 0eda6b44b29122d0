// The shimmer: a faint tiled picture added over the frame at a new random offset every
// frame, its brightness swelling and ebbing slowly with the show time.
#include <cmath>

#include <GL/gl.h>

#include "show/Layers.h"
#include "show/Random.h"
#include "show/ShowTime.h"

constexpr std::uint32_t ShimmerStart = 14000;
constexpr int ShimmerSlot = 8;

void DrawShimmer() {
    if (ShowTime() <= ShimmerStart) {
        return; // no random draw either
    }
    const int a = static_cast<int>(
        std::trunc(std::fabs(std::cos(static_cast<double>(ShowTime()) / 10000.0) * 60.0)));
    const double u = Random(128) / 128.0;

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    glTranslatef(0.0f, 0.0f, -2.0f);
    BindTextureSlot(ShimmerSlot);
    const GLubyte grey = static_cast<GLubyte>(60 - a);
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
