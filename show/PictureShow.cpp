// The picture show: the backdrop of every frame. Two title pictures pulse up from black,
// the first show picture fades in, then a zoom into a picture's centre and a short spin
// of a picture alternate for ever, each change picking a new picture at random.
#include <GL/gl.h>

#include "show/Layers.h"
#include "show/Random.h"
#include "show/ShowTime.h"

std::uint8_t PictureState = Title;
std::uint32_t PictureStamp = 0;
std::uint8_t PictureIndex = 0;

// The time a state lasts, in ms since its stamp; it ends in the first frame past it.
constexpr std::uint32_t TitleLength = 10000;
constexpr std::uint32_t FadeInLength = 960;
constexpr std::uint32_t ZoomLength = 399;
constexpr std::uint32_t SpinLength = 199;

// One large quad 19 units in front of the eye, optionally turned about the view axis.
// The texture coordinates come in vertex order: (-h,-h), (h,-h), (h,h), (-h,h).
static void DrawPictureQuad(int slot, std::uint32_t grey, GLfloat half,
                            const GLfloat (&coords)[4][2], bool turned, GLfloat angle) {
    glTranslatef(0.0f, 0.0f, -20.0f);
    if (turned) {
        glRotatef(angle, 0.0f, 0.0f, 1.0f);
    }
    BindTextureSlot(slot);
    // Byte colours keep the low eight bits: the title's level wraps from 255 to 0.
    const GLubyte level = static_cast<GLubyte>(grey & 0xFFu);
    glColor3ub(level, level, level);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(coords[0][0], coords[0][1]);
    glVertex3f(-half, -half, 1.0f);
    glTexCoord2f(coords[1][0], coords[1][1]);
    glVertex3f(half, -half, 1.0f);
    glTexCoord2f(coords[2][0], coords[2][1]);
    glVertex3f(half, half, 1.0f);
    glTexCoord2f(coords[3][0], coords[3][1]);
    glVertex3f(-half, half, 1.0f);
    glEnd();
    if (turned) {
        glRotatef(-angle, 0.0f, 0.0f, 1.0f);
    }
    glTranslatef(0.0f, 0.0f, 20.0f);
}

static constexpr GLfloat WholePicture[4][2] = {
    {0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};

void DrawPictureShow() {
    const std::uint32_t e = ShowTime() - PictureStamp;
    switch (PictureState) {
    case Title: {
        // The change is decided first, but this frame is still drawn as the title.
        const int slot = e < 5000u ? 9 : 10;
        if (e > TitleLength) {
            PictureStamp = ShowTime();
            PictureState = FadeIn;
        }
        DrawPictureQuad(slot, e / 10u, 10.0f, WholePicture, false, 0.0f);
        break;
    }
    case FadeIn:
        DrawPictureQuad(PictureIndex, e / 10u, 10.0f, WholePicture, false, 0.0f);
        if (e > FadeInLength) {
            PictureState = Zoom;
            PictureStamp = ShowTime();
        }
        break;
    case Zoom: {
        // The window closes in on the centre; not clamped, so a late frame mirrors it.
        const double b = e / 800.0;
        const GLfloat lo = static_cast<GLfloat>(b);
        const GLfloat hi = static_cast<GLfloat>(1.0 - b);
        const GLfloat window[4][2] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}};
        DrawPictureQuad(PictureIndex, 128, 10.0f, window, false, 0.0f);
        if (e > ZoomLength) {
            PictureState = Spin;
            PictureStamp = ShowTime();
            PictureIndex = static_cast<std::uint8_t>(Random(7));
        }
        break;
    }
    case Spin:
        // One degree per millisecond; the larger quad keeps its corners off screen.
        DrawPictureQuad(PictureIndex, 128, 15.0f, WholePicture, true, static_cast<GLfloat>(e));
        if (e > SpinLength) {
            PictureState = Zoom;
            PictureStamp = ShowTime();
            PictureIndex = static_cast<std::uint8_t>(Random(7));
        }
        break;
    default:
        break;
    }
}
