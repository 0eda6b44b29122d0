// When the display guardian puts the saved layout back, and when it must leave the screen
// as it finds it; the record of the first layout that guardians on one display share.
#include <gtest/gtest.h>

#include "guardian/LayoutRecord.h"
#include "guardian/ScreenLayout.h"

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

TEST(LayoutRecord, EncodingKeepsEveryFieldAndRefusesWhatItDidNotMake) {
    ScreenLayout layout = Screen(Desktop, 1280, 1024);
    layout.WidthMm = 338;
    layout.HeightMm = 270;
    layout.Crtcs[0].X = -8; // CRTCs may start left of the screen's origin
    layout.Crtcs[0].Y = 16;
    layout.Crtcs[0].Rotation = 2;
    layout.Crtcs[0].Outputs = {0x4e, 0x4f};
    const std::vector<std::uint32_t> words = EncodeLayout(layout);
    ScreenLayout decoded;
    ASSERT_TRUE(DecodeLayout(words.data(), words.size(), &decoded));
    EXPECT_EQ(decoded, layout);

    // Cut anywhere, one word too many, another tag, no screen, too many CRTCs or outputs:
    // refused, and the layout given is left alone.
    const ScreenLayout untouched = Screen(Other, 800, 600);
    for (std::size_t length = 0; length < words.size(); ++length) {
        ScreenLayout out = untouched;
        EXPECT_FALSE(DecodeLayout(words.data(), length, &out)) << length;
        EXPECT_EQ(out, untouched);
    }
    std::vector<std::uint32_t> longer = words;
    longer.push_back(0);
    std::vector<std::uint32_t> tagged = words;
    tagged[0] ^= 1;
    std::vector<std::uint32_t> empty = words;
    empty[1] = 0;
    std::vector<std::uint32_t> crtcs = words;
    crtcs[5] = 0xffffffffu;
    std::vector<std::uint32_t> outputs = words;
    outputs[6 + 7] = 0x10000;
    for (const auto* bad : {&longer, &tagged, &empty, &crtcs, &outputs}) {
        ScreenLayout out = untouched;
        EXPECT_FALSE(DecodeLayout(bad->data(), bad->size(), &out));
        EXPECT_EQ(out, untouched);
    }
    EXPECT_FALSE(DecodeLayout(nullptr, 6, &decoded));
}

// Two shows on one display, and guardians replaced: the layout from before the first show
// is the one the last to leave puts back.
TEST(LayoutRecord, TheLastShowToLeaveRestoresTheFirstLayout) {
    const ScreenLayout desktop = Screen(Desktop, 1280, 1024);
    const ScreenLayout show = Screen(Show, 640, 480);
    constexpr std::uint64_t A = 0x200004;
    constexpr std::uint64_t B = 0x600004;

    // A finds no record: the desktop is the original.
    LayoutRecord onDisplay = JoinRecord(LayoutRecord{}, desktop, A);
    EXPECT_TRUE(onDisplay.Valid);
    EXPECT_EQ(onDisplay.Original, desktop);
    EXPECT_EQ(onDisplay.Holders, std::vector<std::uint64_t>{A});

    // B starts on A's mode: the record stands, B holds it too.
    onDisplay = JoinRecord(onDisplay, show, B);
    EXPECT_EQ(onDisplay.Original, desktop);
    EXPECT_EQ(onDisplay.Holders, (std::vector<std::uint64_t>{A, B}));

    // A's guardian is killed and replaced: joining again changes nothing.
    onDisplay = JoinRecord(onDisplay, show, A);
    EXPECT_EQ(onDisplay.Holders, (std::vector<std::uint64_t>{A, B}));

    // A ends: B still holds it, nothing is restored.
    LayoutRecord leaving = onDisplay;
    EXPECT_TRUE(LeaveRecord(&leaving, A));
    EXPECT_EQ(leaving.Holders, std::vector<std::uint64_t>{B});
    // B ends: the last; the original goes back.
    EXPECT_FALSE(LeaveRecord(&leaving, B));
    EXPECT_EQ(leaving.Original, desktop);
}

TEST(LayoutRecord, ARecordNobodyHoldsIsStale) {
    const ScreenLayout desktop = Screen(Desktop, 1280, 1024);
    const ScreenLayout chosen = Screen(Other, 800, 600);
    // Both shows are gone (their windows with them): the user's layout since is the one.
    LayoutRecord stale;
    stale.Valid = true;
    stale.Original = desktop;
    const LayoutRecord joined = JoinRecord(stale, chosen, 0x200004);
    EXPECT_EQ(joined.Original, chosen);
    // A show whose window could not be named holds nothing, so leaving is always last.
    LayoutRecord anonymous = JoinRecord(LayoutRecord{}, desktop, 0);
    EXPECT_TRUE(anonymous.Holders.empty());
    EXPECT_FALSE(LeaveRecord(&anonymous, 0));
    // A record that vanished meanwhile holds nobody either.
    LayoutRecord vanished;
    EXPECT_FALSE(LeaveRecord(&vanished, 0x200004));
}
