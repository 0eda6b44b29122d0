// Placeholder until the picture show is built.
#include "show/Layers.h"

std::uint8_t PictureState = Title;
std::uint32_t PictureStamp = 0;
std::uint8_t PictureIndex = 0;

void DrawPictureShow() {}
