// The five layers of a frame, in drawing order, and the state they keep across frames.
#pragma once

#include <cstdint>

#include "show/TextureSlots.h"
#include "show/Timeline.h"

extern std::uint8_t PictureState;
extern std::uint32_t PictureStamp;
extern std::uint8_t PictureIndex;

extern std::uint8_t StackGlyphCode;
extern std::uint32_t StackStamp;

// All of the above and the random generator's seed, as one value.
ShowState CurrentShowState();
void SetShowState(const ShowState& state);

void DrawPictureShow();
void DrawGlyphStack();
void DrawSpinningGlyph();
void DrawShimmer();
void DrawCredits();
