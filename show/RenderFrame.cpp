// One frame of the show. Each layer decides from its own reading of the show time
// whether it has started; all start from the identity modelview matrix.
#include "show/RenderFrame.h"

#include <GL/gl.h>

#include "show/Layers.h"

void RenderFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    DrawPictureShow();
    glLoadIdentity();
    DrawGlyphStack();
    glLoadIdentity();
    DrawSpinningGlyph();
    glLoadIdentity();
    DrawShimmer();
    glLoadIdentity();
    DrawCredits();
}
