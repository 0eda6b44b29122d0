// Scene set-up: the pictures, the fixed OpenGL state, the projection, fonts and light.
#pragma once

#include "show/TextureSlots.h"

// The media the show reads, relative to its working directory: the pictures of the
// texture slots in slot order, then the song.
constexpr int SongDataFile = TextureSlotCount;
constexpr int ShowDataFileCount = TextureSlotCount + 1;
inline constexpr const char* ShowDataFiles[ShowDataFileCount] = {
    "data/d0.jpg", "data/d1.jpg", "data/d2.jpg", "data/d3.jpg", "data/d4.jpg", "data/d5.jpg",
    "data/d6.jpg", "data/d7.jpg", "data/r.jpg",  "data/l1.jpg", "data/l2.jpg", "data/theme.xm",
};

extern const float LightAmbient[4];
extern const float LightDiffuse[4];
extern const float LightPosition[4];

void InitScene(int width, int height);
void ResizeScene(int width, int height);
void LoadTextures();
void LoadTextureSlot(const char* fileName, int slot);
