// Scene set-up: the pictures, the fixed OpenGL state, the projection, fonts and light.
#pragma once

#include <iterator>

#include "app/MediaFiles.h"
#include "show/TextureSlots.h"

// The media the show reads, relative to its working directory: the pictures of the
// texture slots in slot order, then the song (app/MediaFiles.txt names them).
constexpr int SongDataFile = TextureSlotCount;
constexpr int ShowDataFileCount = TextureSlotCount + 1;
inline constexpr const char* ShowDataFiles[] = {LARKSPUR_MEDIA_FILES};
static_assert(std::size(ShowDataFiles) == ShowDataFileCount,
              "app/MediaFiles.txt names one picture a texture slot, then the song");

extern const float LightAmbient[4];
extern const float LightDiffuse[4];
extern const float LightPosition[4];

// The pictures, the fixed state and projection, the fonts, then the light.
void InitScene(int width, int height);
// InitScene's two GL steps, for whatever draws the layers without the show's media: the
// fixed state with the projection of a window of that size (height above 0), and light 1.
void SetSceneState(int width, int height);
void SetSceneLight();
void ResizeScene(int width, int height);
void LoadTextures();
void LoadTextureSlot(const char* fileName, int slot);
