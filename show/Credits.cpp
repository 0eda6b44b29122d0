// The credits line: one line of 3D text near the bottom left, bobbing and changing
// colour, a new line every 2800 ms. It also ends the show at 84 seconds.
#include <cmath>

#include <GL/gl.h>

#include "app/RunShow.h"
#include "show/Layers.h"
#include "show/OutlineFonts.h"
#include "show/ShowTime.h"

constexpr std::uint32_t CreditLineLength = 2800;
constexpr std::uint32_t LastCreditLine = 30; // entry 30 is never seen: the show ends first

void DrawCredits() {
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);

    const double t = static_cast<double>(static_cast<std::int32_t>(ShowTime()));
    glLoadIdentity();
    glTranslatef(-8.0f, static_cast<GLfloat>(std::sin(t / 400.0) / 2.0 - 4.5), -15.0f);
    // The components run from -1 to 1 and are passed as they are.
    glColor3d(std::sin(t / 500.0), std::sin(t / 700.0), std::sin(t / 900.0));

    // A frame late enough can ask for a line past the table; it draws nothing then.
    const std::uint32_t k = ShowTime() / CreditLineLength;
    if (k < static_cast<std::uint32_t>(CreditLineCount)) {
        DrawTextString(CreditLines[k]);
    }
    glDisable(GL_LIGHTING);

    // End of show: this frame is never presented.
    if (ShowTime() / CreditLineLength >= LastCreditLine) {
        HaltProgram();
    }
}
