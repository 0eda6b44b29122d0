// When the display guardian puts the saved layout back, and when it must leave the screen
// as it finds it.
#include <gtest/gtest.h>

#include "platform/guardian/ScreenLayout.h"

namespace {

constexpr std::uint64_t Desktop = 0x5e; // 1280 x 1024
constexpr std::uint64_t Show = 0x71;    // 640 x 480
constexpr std::uint64_t Other = 0x80;   // 800 x 600

ScreenLayout Screen(std::uint64_t mode, unsigned width, unsigned height) {
    ScreenLayout layout;
    layout.Width = static_cast<int>(width);
    layout.Height = static_cast<int>(height);
    CrtcLayout crtc;
    crtc.Crtc = 0x3f;
    crtc.Mode = mode;
    crtc.Width = width;
    crtc.Height = height;
    crtc.Outputs = {0x4e};
    layout.Crtcs.push_back(crtc);
    // A second CRTC, off, as the dummy driver and most cards have.
    CrtcLayout off;
    off.Crtc = 0x40;
    layout.Crtcs.push_back(off);
    return layout;
}

} // namespace

TEST(ScreenLayout, RestoresOnlyWhatTheShowLeftBehind) {
    const ScreenLayout desktop = Screen(Desktop, 1280, 1024);
    const ScreenLayout show = Screen(Show, 640, 480);
    // Left at the show's mode (a crash): back to the desktop.
    EXPECT_TRUE(ShouldRestoreLayout(desktop, show, 640, 480));
    // The show gave it back itself: nothing to do.
    EXPECT_FALSE(ShouldRestoreLayout(desktop, desktop, 640, 480));
    // The user chose another mode meanwhile: theirs.
    EXPECT_FALSE(ShouldRestoreLayout(desktop, Screen(Other, 800, 600), 640, 480));
    // The desktop already had the show's size (a fixed virtual screen): nothing changed.
    EXPECT_FALSE(ShouldRestoreLayout(show, show, 640, 480));
    // Same mode, but the screen was resized around it: not the show's doing either.
    ScreenLayout resized = show;
    resized.Width = 1280;
    EXPECT_FALSE(ShouldRestoreLayout(show, resized, 640, 480));
}

TEST(ScreenLayout, LooksAtEveryCrtcOfTheScreen) {
    // The show's mode on the second monitor, the first untouched.
    ScreenLayout saved = Screen(Desktop, 1280, 1024);
    saved.Crtcs[1].Mode = Desktop;
    saved.Crtcs[1].Width = 1280;
    saved.Crtcs[1].Height = 1024;
    ScreenLayout now = saved;
    now.Crtcs[1].Mode = Show;
    now.Crtcs[1].Width = 640;
    now.Crtcs[1].Height = 480;
    EXPECT_TRUE(ShouldRestoreLayout(saved, now, 640, 480));
    // A monitor switched on since, at the show's size, is not the show's doing: the
    // show only changes a CRTC that was already showing the desktop.
    ScreenLayout plugged = Screen(Desktop, 1280, 1024);
    ScreenLayout pluggedNow = plugged;
    pluggedNow.Crtcs[1].Mode = Show;
    pluggedNow.Crtcs[1].Width = 640;
    pluggedNow.Crtcs[1].Height = 480;
    EXPECT_FALSE(ShouldRestoreLayout(plugged, pluggedNow, 640, 480));
}
