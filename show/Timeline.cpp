// The show's timeline: each layer's picture as a function of the show time and of the
// state the layer keeps. The arithmetic (double, then single precision) is the one the
// frames have always been drawn with, so that recordings stay the same to the byte.
#include "show/Timeline.h"

#include <cmath>

PictureFrame PictureShowFrame(const PictureShowState& state, std::uint32_t now) {
    const std::uint32_t e = now - state.Stamp;
    PictureFrame frame;
    PictureQuad& quad = frame.Quad;
    frame.Drawn = true;
    switch (state.State) {
    case Title:
        // The change is decided first, but this frame is still drawn as the title.
        quad.Slot = e < TitleSwitchTime ? TitleFirstSlot : TitleSecondSlot;
        quad.Grey = static_cast<std::uint8_t>((e / 10u) & 0xFFu);
        frame.Changes = e > TitleLength;
        frame.ChangesFirst = true;
        break;
    case FadeIn:
        quad.Slot = state.Index;
        quad.Grey = static_cast<std::uint8_t>((e / 10u) & 0xFFu);
        frame.Changes = e > FadeInLength;
        break;
    case Zoom: {
        // The window closes in on the centre; not clamped, so a late frame mirrors it.
        const double b = e / 800.0;
        const float lo = static_cast<float>(b);
        const float hi = static_cast<float>(1.0 - b);
        const float window[4][2] = {{lo, lo}, {hi, lo}, {hi, hi}, {lo, hi}};
        for (int v = 0; v < 4; ++v) {
            quad.Coords[v][0] = window[v][0];
            quad.Coords[v][1] = window[v][1];
        }
        quad.Slot = state.Index;
        quad.Grey = 128;
        frame.Changes = e > ZoomLength;
        break;
    }
    case Spin:
        // One degree per millisecond; the larger quad keeps its corners off screen.
        quad.Slot = state.Index;
        quad.Grey = 128;
        quad.Half = 15.0f;
        quad.Turned = true;
        quad.Angle = static_cast<float>(e);
        frame.Changes = e > SpinLength;
        break;
    default:
        frame.Drawn = false;
        break;
    }
    return frame;
}

PictureShowState ChangePicture(const PictureShowState& state, std::uint32_t stamp,
                               std::uint32_t& seed) {
    PictureShowState next = state;
    next.Stamp = stamp;
    switch (state.State) {
    case Title:
        next.State = FadeIn;
        break;
    case FadeIn:
        next.State = Zoom;
        break;
    case Zoom:
    case Spin:
        next.State = state.State == Zoom ? Spin : Zoom;
        next.Index = static_cast<std::uint8_t>(NextRandom(seed, 7));
        break;
    default:
        break;
    }
    return next;
}

double SwingAngle(std::uint32_t t, double period) {
    return std::trunc(std::sin(static_cast<double>(t) / period) * 128.0);
}

StackGlyph StackGlyphAt(int i, std::uint32_t tz, std::uint32_t ty, std::uint8_t code) {
    StackGlyph glyph;
    glyph.Y = static_cast<float>(i / 5.0);
    glyph.AngleZ = static_cast<float>(SwingAngle(tz, StackSwingZ) + 63 * i);
    glyph.AngleY = static_cast<float>(SwingAngle(ty, StackSwingY) + 20 * i);
    // Magenta at the bottom to green at the top.
    glyph.Colour[0] = static_cast<std::uint8_t>(255 - 32 * i);
    glyph.Colour[1] = static_cast<std::uint8_t>(32 * i);
    glyph.Colour[2] = static_cast<std::uint8_t>(255 - 32 * i);
    glyph.Code = code;
    return glyph;
}

StackGlyph CentreGlyphAt(std::uint32_t tz, std::uint32_t ty) {
    StackGlyph glyph;
    glyph.AngleZ = static_cast<float>(SwingAngle(tz, CentreSwingZ));
    glyph.AngleY = static_cast<float>(SwingAngle(ty, CentreSwingY));
    glyph.Colour[0] = 128;
    glyph.Colour[1] = 128;
    glyph.Code = CentreGlyphCode;
    return glyph;
}

std::uint8_t ShimmerGrey(std::uint32_t t) {
    const int a = static_cast<int>(
        std::trunc(std::fabs(std::cos(static_cast<double>(t) / ShimmerPeriod) * 60.0)));
    return static_cast<std::uint8_t>(60 - a);
}

double ShimmerOffset(std::uint32_t& seed) {
    return NextRandom(seed, 128) / 128.0;
}

CreditsPlacement CreditsPlacementAt(std::uint32_t t) {
    const double s = static_cast<double>(static_cast<std::int32_t>(t));
    CreditsPlacement placement;
    placement.Y = static_cast<float>(std::sin(s / CreditBobPeriod) / 2.0 - 4.5);
    placement.Colour[0] = std::sin(s / CreditRedPeriod);
    placement.Colour[1] = std::sin(s / CreditGreenPeriod);
    placement.Colour[2] = std::sin(s / CreditBluePeriod);
    return placement;
}

const char* CreditLineAt(std::uint32_t t) {
    // A frame late enough can ask for a line past the table; it draws nothing then.
    const std::uint32_t k = t / CreditLineLength;
    return k < static_cast<std::uint32_t>(CreditLineCount) ? CreditLines[k] : nullptr;
}

ShowState StateAfterFrame(const ShowState& state, std::uint32_t t) {
    ShowState next = state;
    // The picture show changes before or after its quad, but always before the shimmer
    // takes its draw.
    const PictureFrame picture = PictureShowFrame(next.Picture, t);
    if (picture.Drawn && picture.Changes) {
        next.Picture = ChangePicture(next.Picture, t, next.Seed);
    }
    if (GlyphStackShown(t) && StackStepDue(next.Stack, t)) {
        next.Stack = StepGlyphStack(next.Stack, t);
    }
    if (ShimmerShown(t)) {
        ShimmerOffset(next.Seed);
    }
    return next;
}
