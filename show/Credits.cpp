// Placeholder until the credits layer is built.
#include "show/Layers.h"

#include "app/RunShow.h"
#include "show/ShowTime.h"

void DrawCredits() {
    if (ShowTime() / 2800u >= 30u) {
        HaltProgram();
    }
}
