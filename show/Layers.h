// The five layers of a frame, in drawing order, and the state they keep across frames.
#pragma once

#include <cstdint>

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
