// The RandR layout of one X screen, as the display guardian saves and compares it.
#pragma once

#include <cstdint>
#include <vector>

struct CrtcLayout {
    std::uint64_t Crtc = 0;
    std::uint64_t Mode = 0; // 0: the CRTC is off
    int X = 0;
    int Y = 0;
    unsigned Width = 0; // of the mode; 0 when off
    unsigned Height = 0;
    unsigned Rotation = 1;
    std::vector<std::uint64_t> Outputs;

    bool operator==(const CrtcLayout&) const = default;
};

struct ScreenLayout {
    int Width = 0;
    int Height = 0;
    int WidthMm = 0;
    int HeightMm = 0;
    std::vector<CrtcLayout> Crtcs;

    bool operator==(const ScreenLayout&) const = default;
};

// Whether the layout found when the show ended should be put back to the saved one: only
// when it differs and a CRTC that showed another mode before now shows the show's own
// size. A layout the user chose in the meantime is theirs, and stays.
bool ShouldRestoreLayout(const ScreenLayout& saved, const ScreenLayout& now, unsigned showWidth,
                         unsigned showHeight);
