// Which way the show's 640 x 480 reaches a Linux display, and where its picture goes on
// a screen of another shape.
#include <gtest/gtest.h>

#include "platform/sdl/DisplayPath.h"
#include "show/PictureRect.h"

namespace {
DisplayFacts Facts(VideoKind kind, bool xwayland, bool exactMode) {
    DisplayFacts facts;
    facts.Kind = kind;
    facts.Xwayland = xwayland;
    facts.ExactMode = exactMode;
    return facts;
}
} // namespace

TEST(DisplayPath, OnlyARealModeIsSwitchedTo) {
    // Xorg with the mode, and a console through KMS with it: the display switches.
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::X11, false, true)), ModePath::Switch);
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::Kms, false, true)), ModePath::Switch);
    // Wayland and Xwayland list the mode but only stretch a frame to it.
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::Wayland, false, true)), ModePath::Letterbox);
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::Wayland, false, false)), ModePath::Letterbox);
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::X11, true, true)), ModePath::Letterbox);
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::X11, true, false)), ModePath::Letterbox);
    // A real screen without the mode is still filled.
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::X11, false, false)), ModePath::Letterbox);
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::Kms, false, false)), ModePath::Letterbox);
    // Drawing into memory there is no screen: a missing mode is refused, as before.
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::Headless, false, true)), ModePath::Switch);
    EXPECT_EQ(ChooseModePath(Facts(VideoKind::Headless, false, false)), ModePath::Refuse);
}

TEST(DisplayPath, DriverNamesAsSdlSpellsThem) {
    EXPECT_EQ(VideoKindNamed("x11"), VideoKind::X11);
    EXPECT_EQ(VideoKindNamed("wayland"), VideoKind::Wayland);
    EXPECT_EQ(VideoKindNamed("KMSDRM"), VideoKind::Kms);
    EXPECT_EQ(VideoKindNamed("offscreen"), VideoKind::Headless);
    EXPECT_EQ(VideoKindNamed("dummy"), VideoKind::Headless);
    EXPECT_EQ(VideoKindNamed("x11_extra"), VideoKind::Headless);
    EXPECT_EQ(VideoKindNamed(nullptr), VideoKind::Headless);
}

// The screens people have: the picture keeps 4:3 and sits in the middle, bars equal to a
// pixel on either side.
TEST(DisplayPath, PictureOnCommonScreens) {
    struct Case {
        int Width, Height, X, Y, PictureWidth, PictureHeight;
    };
    const Case cases[] = {
        {1920, 1080, 240, 0, 1440, 1080}, // 16:9
        {2560, 1080, 560, 0, 1440, 1080}, // 21:9
        {1280, 800, 106, 0, 1067, 800},   // 16:10, a width that is not whole
        {1280, 1024, 0, 32, 1280, 960},   // 5:4, bars above and below
        {640, 480, 0, 0, 640, 480},       // the show's own mode: no bars
        {1366, 768, 171, 0, 1024, 768},
    };
    for (const Case& c : cases) {
        const PictureRect r = PictureRectFor(c.Width, c.Height);
        SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height);
        EXPECT_EQ(r.X, c.X);
        EXPECT_EQ(r.Y, c.Y);
        EXPECT_EQ(r.Width, c.PictureWidth);
        EXPECT_EQ(r.Height, c.PictureHeight);
        const int left = r.X;
        const int right = c.Width - r.X - r.Width;
        EXPECT_GE(right, left);
        EXPECT_LE(right - left, 1);
    }
}
