// Placeholder until the credits are written.
#include "show/Layers.h"

const char* const CreditLines[CreditLineCount] = {
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
    "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
};
