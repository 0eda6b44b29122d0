// One frame of the show. Each layer decides from its own reading of the show time
// whether it has started; all start from the identity modelview matrix.
#include "show/RenderFrame.h"

#include <GL/gl.h>

#include "show/Layers.h"

const ShowLayer ShowLayers[ShowLayerCount] = {
    {DrawPictureShow, true}, {DrawGlyphStack, false}, {DrawSpinningGlyph, false},
    {DrawShimmer, true},     {DrawCredits, false},
};

void ClearFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void RenderFrame() {
    ClearFrame();
    for (const ShowLayer& layer : ShowLayers) {
        glLoadIdentity();
        layer.Draw();
    }
}
