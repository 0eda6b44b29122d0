// The five layers of a frame, in drawing order, and the state they keep across frames.
#pragma once

#include <cstdint>

#include "app/Scene.h"

enum PictureStates : std::uint8_t { Title = 0, FadeIn = 1, Zoom = 2, Spin = 3 };

extern std::uint8_t PictureState;
extern std::uint32_t PictureStamp;
extern std::uint8_t PictureIndex;

extern std::uint8_t StackGlyphCode;
extern std::uint32_t StackStamp;

// The 31 credits lines, Windows-1252 bytes; empty entries are "".
constexpr int CreditLineCount = 31;
extern const char* const CreditLines[CreditLineCount];

void DrawPictureShow();
void DrawGlyphStack();
void DrawSpinningGlyph();
void DrawShimmer();
void DrawCredits();

// Binds the texture of one slot of Textures. A slot whose picture did not load (or that
// holds no object at all) binds nothing, so the previous binding stays.
inline void BindTextureSlot(int slot) {
    if (slot >= 0 && slot < TextureSlotCount && Textures[slot] != nullptr) {
        Textures[slot]->BindTexture();
    }
}
