// The calls the show's start-up makes, in order and with what they set up, watched
// through the platform's call observer. The window class is the real one registered by
// RegisterShowWindowClass. SDL's dummy video has no OpenGL, so start-up ends at the
// rendering context; with no display and no box helper the boxes go to standard error.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/RunShow.h"
#include "app/ShowWindow.h"
#include "audio/MusicPlayer.h"
#include "tests/support/LoopingModule.h"

namespace fs = std::filesystem;

namespace {

struct Seen {
    std::string Call;
    int MixRate;
    bool SongLoaded;
};

std::vector<Seen> Calls;

void Observe(const char* call) {
    Calls.push_back(Seen{call, FSOUND_GetOutputRate(), Song != nullptr});
}

// Runs the show in a working folder of its own, with no display and no box helper.
class StartUp : public ::testing::Test {
  protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("larkspur-startup-" + std::to_string(getpid()));
        fs::create_directories(Dir / "data");
        char* here = getcwd(nullptr, 0);
        Previous = here != nullptr ? here : ".";
        std::free(here);
        const char* path = std::getenv("PATH");
        SavedPath = path != nullptr ? path : "";
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("PATH", "/nonexistent", 1);
    }
    void TearDown() override {
        SetPlatformCallObserver(nullptr);
        setenv("PATH", SavedPath.c_str(), 1);
        if (Song != nullptr) {
            FMUSIC_FreeSong(Song);
            Song = nullptr;
        }
        FSOUND_Close();
        EXPECT_EQ(chdir(Previous.c_str()), 0);
        std::error_code ignored;
        fs::remove_all(Dir, ignored);
    }
    // The show's status; sets Calls and Errors.
    int Run() {
        EXPECT_EQ(chdir(Dir.c_str()), 0);
        Calls.clear();
        HINSTANCE instance = GetModuleHandleA(nullptr);
        SetPlatformCallObserver(Observe);
        ::testing::internal::CaptureStderr();
        const int status = RunShow(instance, nullptr, "", SW_SHOW);
        Errors = ::testing::internal::GetCapturedStderr();
        SetPlatformCallObserver(nullptr);
        return status;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const Seen& seen : Calls) {
            if (seen.Call != "DefWindowProcA") {
                names.push_back(seen.Call);
            }
        }
        return names;
    }
    fs::path Dir;
    std::string Previous;
    std::string SavedPath;
    std::string Errors;
};

} // namespace

// The sound output comes first, at 44100 Hz, then the song; no window before both.
TEST_F(StartUp, SoundAtTheShowsRateThenTheSongThenTheWindow) {
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Errors, "Error!: Error! Loading Song: File not found\n");
    ASSERT_EQ(Names(), std::vector<std::string>{"MessageBoxA"});
    EXPECT_EQ(Calls[0].MixRate, 44100);
    // The failure closes the sound output.
    EXPECT_EQ(FSOUND_GetOutputRate(), 0);

    const std::vector<unsigned char> song = MakeLoopingMod();
    std::ofstream(Dir / "data" / "theme.xm", std::ios::binary)
        .write(reinterpret_cast<const char*>(song.data()),
               static_cast<std::streamsize>(song.size()));
    EXPECT_EQ(Run(), 1);
    // With why the platform refused, where no box could say it.
    EXPECT_EQ(Errors.rfind("Error: Cant't Find A Suitable PixelFormat. (OpenGL support is ", 0), 0u)
        << Errors;
    // The context fails inside the window's creation; the display still switches before
    // the window shows, and the loop then takes the quit message.
    const std::vector<std::string> expected = {
        "LoadCursorA",       "RegisterClassA", "CreateWindowExA", "GetDC",
        "ChoosePixelFormat", "MessageBoxA",    "PostQuitMessage", "ChangeDisplaySettingsA",
        "ShowWindow",        "UpdateWindow",   "SetFocus",        "PeekMessageA",
        "GetMessageA"};
    EXPECT_EQ(Names(), expected);
    for (const Seen& seen : Calls) {
        EXPECT_EQ(seen.MixRate, 44100) << seen.Call;
        EXPECT_TRUE(seen.SongLoaded) << seen.Call;
    }

    // The class start-up registered: its own device context, redrawn whole on a resize,
    // the show's procedure and the arrow.
    WNDCLASSA record = {};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "OpenGL WinClass", &record));
    EXPECT_EQ(record.style, 35u); // CS_VREDRAW | CS_HREDRAW | CS_OWNDC
    EXPECT_EQ(record.lpfnWndProc, &ShowWindowProc);
    EXPECT_EQ(record.hInstance, GetModuleHandleA(nullptr));
    EXPECT_EQ(record.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(record.hIcon, nullptr);
    EXPECT_EQ(record.hbrBackground, nullptr);
    EXPECT_EQ(record.lpszMenuName, nullptr);
    EXPECT_EQ(record.cbClsExtra, 0);
    EXPECT_EQ(record.cbWndExtra, 0);
    EXPECT_STREQ(record.lpszClassName, "OpenGL WinClass");
}
