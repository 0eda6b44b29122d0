// Scene set-up: the pictures, the fixed OpenGL state, the projection, fonts and light.
#pragma once

#include "textures/TextureImage.h"

constexpr int TextureSlotCount = 11;
extern TTextureImage* Textures[TextureSlotCount];

extern const float LightAmbient[4];
extern const float LightDiffuse[4];
extern const float LightPosition[4];

void InitScene(int width, int height);
void ResizeScene(int width, int height);
void LoadTextures();
void LoadTextureSlot(const char* fileName, int slot);
