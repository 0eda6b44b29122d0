// The picture show: the backdrop of every frame. Two title pictures pulse up from black,
// the first show picture fades in, then a zoom into a picture's centre and a short spin
// of a picture alternate for ever, each change picking a new picture at random.
#include <GL/gl.h>

#include "show/Layers.h"
#include "show/Random.h"
#include "show/ShowTime.h"

std::uint8_t PictureState = PictureShowState{}.State;
std::uint32_t PictureStamp = PictureShowState{}.Stamp;
std::uint8_t PictureIndex = PictureShowState{}.Index;

// One large quad 19 units in front of the eye, optionally turned about the view axis.
static void DrawPictureQuad(const PictureQuad& quad) {
    glTranslatef(0.0f, 0.0f, -20.0f);
    if (quad.Turned) {
        glRotatef(quad.Angle, 0.0f, 0.0f, 1.0f);
    }
    BindTextureSlot(quad.Slot);
    glColor3ub(quad.Grey, quad.Grey, quad.Grey);
    const GLfloat h = quad.Half;
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glTexCoord2f(quad.Coords[0][0], quad.Coords[0][1]);
    glVertex3f(-h, -h, 1.0f);
    glTexCoord2f(quad.Coords[1][0], quad.Coords[1][1]);
    glVertex3f(h, -h, 1.0f);
    glTexCoord2f(quad.Coords[2][0], quad.Coords[2][1]);
    glVertex3f(h, h, 1.0f);
    glTexCoord2f(quad.Coords[3][0], quad.Coords[3][1]);
    glVertex3f(-h, h, 1.0f);
    glEnd();
    if (quad.Turned) {
        glRotatef(-quad.Angle, 0.0f, 0.0f, 1.0f);
    }
    glTranslatef(0.0f, 0.0f, 20.0f);
}

// The change stamps with a fresh reading of its own, then draws the next picture.
static void ChangePictureNow() {
    const PictureShowState next =
        ChangePicture({PictureState, PictureStamp, PictureIndex}, ShowTime(), RandomSeed);
    PictureState = next.State;
    PictureStamp = next.Stamp;
    PictureIndex = next.Index;
}

void DrawPictureShow() {
    const PictureFrame frame =
        PictureShowFrame({PictureState, PictureStamp, PictureIndex}, ShowTime());
    if (!frame.Drawn) {
        return;
    }
    if (frame.Changes && frame.ChangesFirst) {
        ChangePictureNow();
    }
    DrawPictureQuad(frame.Quad);
    if (frame.Changes && !frame.ChangesFirst) {
        ChangePictureNow();
    }
}
