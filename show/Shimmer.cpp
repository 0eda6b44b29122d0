// Placeholder until the shimmer overlay is built.
#include "show/Layers.h"

void DrawShimmer() {}
