// The show's timeline as plain functions: what each layer draws at a given show time
// and from a given state, and how that state moves on from one frame to the next. No
// OpenGL and no clock here; the layer routines read the show time, ask, and draw.
//
// The layers take a fresh reading of the show time for almost every quantity, and two
// readings within one frame may differ. So each function below takes the one reading
// its quantity is made from, and the layer routines take the readings in the order the
// show always has.
#pragma once

#include <cstdint>

// --- The whole show ---------------------------------------------------------------

// The first frame whose end test reads this time or later ends the show.
constexpr std::uint32_t ShowEndTime = 84000;

inline bool ShowOver(std::uint32_t t) {
    return t >= ShowEndTime;
}

// --- The random generator -----------------------------------------------------------

// Moves `seed` on by one draw and returns an integer from 0 to n − 1.
inline std::uint32_t NextRandom(std::uint32_t& seed, std::uint32_t n) {
    seed = seed * 134775813u + 1u;
    return static_cast<std::uint32_t>((std::uint64_t{n} * seed) >> 32);
}

// --- Picture show --------------------------------------------------------------------

enum PictureStates : std::uint8_t { Title = 0, FadeIn = 1, Zoom = 2, Spin = 3 };

struct PictureShowState {
    std::uint8_t State = Title;
    std::uint32_t Stamp = 0;
    std::uint8_t Index = 0;
    bool operator==(const PictureShowState&) const = default;
};

// The time a state lasts, in ms since its stamp; it ends in the first frame past it.
constexpr std::uint32_t TitleLength = 10000;
constexpr std::uint32_t FadeInLength = 960;
constexpr std::uint32_t ZoomLength = 399;
constexpr std::uint32_t SpinLength = 199;

// The two title pictures: the first until this long into the title, then the second.
constexpr int TitleFirstSlot = 9;
constexpr int TitleSecondSlot = 10;
constexpr std::uint32_t TitleSwitchTime = 5000;

// The one quad a picture-show frame draws.
struct PictureQuad {
    int Slot = 0;
    std::uint8_t Grey = 0; // the low eight bits of the level: the title's level wraps
    float Half = 10.0f;    // half the side of the quad
    // Texture coordinates in vertex order: (-h,-h), (h,-h), (h,h), (-h,h).
    float Coords[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    bool Turned = false; // turned about the view axis by Angle degrees
    float Angle = 0.0f;
};

struct PictureFrame {
    bool Drawn = false; // false for a state the show does not know
    PictureQuad Quad;
    bool Changes = false;      // the state moves on in this frame
    bool ChangesFirst = false; // ... before the quad is drawn (the title only)
};

// The frame drawn `now` (the frame's first reading) from `state`.
PictureFrame PictureShowFrame(const PictureShowState& state, std::uint32_t now);

// The state after a change stamped with `stamp` (a fresh reading); leaving a zoom or a
// spin draws the next picture from `seed`, after the stamp was read.
PictureShowState ChangePicture(const PictureShowState& state, std::uint32_t stamp,
                               std::uint32_t& seed);

// --- Glyph stack ---------------------------------------------------------------------

struct GlyphStackState {
    std::uint8_t Code = 47;
    std::uint32_t Stamp = 0;
    bool operator==(const GlyphStackState&) const = default;
};

constexpr std::uint32_t StackStart = 12000;
constexpr std::uint32_t StackStepLength = 5000;
constexpr int StackGlyphCount = 8;
constexpr unsigned char CentreGlyphCode = 0xF2;

// Periods, in ms per radian, of the swings about the view axis (z) and the vertical
// axis (y): the stacked glyphs, and the centre glyph.
constexpr double StackSwingZ = 300.0;
constexpr double StackSwingY = 500.0;
constexpr double CentreSwingZ = 500.0;
constexpr double CentreSwingY = 400.0;

inline bool GlyphStackShown(std::uint32_t t) {
    return t > StackStart;
}

// trunc(sin(t / period) × 128): a whole number of degrees.
double SwingAngle(std::uint32_t t, double period);

// One glyph of the stack: where, how turned, what colour, which code.
struct StackGlyph {
    float Y = 0.0f;
    float AngleZ = 0.0f;
    float AngleY = 0.0f;
    std::uint8_t Colour[3] = {};
    unsigned char Code = 0;
};

// Glyph i (0 at the bottom) of the stack; tz and ty are the readings of its two swings.
StackGlyph StackGlyphAt(int i, std::uint32_t tz, std::uint32_t ty, std::uint8_t code);
StackGlyph CentreGlyphAt(std::uint32_t tz, std::uint32_t ty);

// The step test, made from a fresh reading at the end of a frame the stack drew.
inline bool StackStepDue(const GlyphStackState& state, std::uint32_t t) {
    return t - state.Stamp > StackStepLength;
}
inline GlyphStackState StepGlyphStack(const GlyphStackState& state, std::uint32_t stamp) {
    return {static_cast<std::uint8_t>(state.Code + 1), stamp};
}

// --- Spinning glyph ------------------------------------------------------------------

constexpr std::uint32_t SpinningGlyphStart = 8000;
constexpr int SpinningGlyphSlot = 0;

inline bool SpinningGlyphShown(std::uint32_t t) {
    return t > SpinningGlyphStart;
}
// Degrees about the vertical axis: one turn every 3600 ms, not truncated.
inline double SpinningGlyphAngle(std::uint32_t t) {
    return static_cast<double>(t) / 10.0;
}

// --- Shimmer -------------------------------------------------------------------------

constexpr std::uint32_t ShimmerStart = 14000;
constexpr int ShimmerSlot = 8;
// ms per radian of the brightness's slow swell and ebb.
constexpr double ShimmerPeriod = 10000.0;

inline bool ShimmerShown(std::uint32_t t) {
    return t > ShimmerStart;
}
// The grey level the tiled picture is added at: 60 − trunc(|cos(t / 10000) × 60|).
std::uint8_t ShimmerGrey(std::uint32_t t);
// The tiling offset of one frame, in 128ths of a tile; takes one draw from `seed`.
double ShimmerOffset(std::uint32_t& seed);

// --- Credits -------------------------------------------------------------------------

constexpr std::uint32_t CreditLineLength = 2800;

// Periods, in ms per radian, of the line's bob and of its red, green and blue.
constexpr double CreditBobPeriod = 400.0;
constexpr double CreditRedPeriod = 500.0;
constexpr double CreditGreenPeriod = 700.0;
constexpr double CreditBluePeriod = 900.0;

// The 31 credits lines, Windows-1252 bytes; empty entries are "".
constexpr int CreditLineCount = 31;
extern const char* const CreditLines[CreditLineCount];

// Where the line stands and its colour, all from one reading taken as signed.
struct CreditsPlacement {
    float Y = 0.0f;
    double Colour[3] = {}; // from -1 to 1, passed as they are
};
CreditsPlacement CreditsPlacementAt(std::uint32_t t);

// The line on the screen at t; null past the table (only in the frame that ends the show).
const char* CreditLineAt(std::uint32_t t);

// --- What one frame hands to the next ------------------------------------------------

// The picture show's, the glyph stack's and the random generator's state; the default
// value is what the show's first frame starts from.
struct ShowState {
    PictureShowState Picture;
    GlyphStackState Stack;
    std::uint32_t Seed = 0;
    bool operator==(const ShowState&) const = default;
};

// The state after the frame at `t` for a clock that reads `t` all through the frame, as a
// recording's does: the changes the layers make, in their order, without drawing.
ShowState StateAfterFrame(const ShowState& state, std::uint32_t t);
