// The credits line: one line of 3D text near the bottom left, bobbing and changing
// colour, a new line every 2800 ms. It also ends the show at 84 seconds.
#include <GL/gl.h>

#include "show/HaltProgram.h"
#include "show/Layers.h"
#include "show/OutlineFonts.h"
#include "show/ShowTime.h"

void DrawCredits() {
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);

    const CreditsPlacement placement = CreditsPlacementAt(ShowTime());
    glLoadIdentity();
    glTranslatef(-8.0f, placement.Y, -15.0f);
    glColor3d(placement.Colour[0], placement.Colour[1], placement.Colour[2]);

    const char* line = CreditLineAt(ShowTime());
    if (line != nullptr) {
        DrawTextString(line);
    }
    glDisable(GL_LIGHTING);

    // End of show: this frame is never presented.
    if (ShowOver(ShowTime())) {
        HaltProgram();
    }
}
