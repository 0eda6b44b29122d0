// MessageBoxA where SDL's box helper is zenity: stand-ins for zenity on PATH play a
// desktop without a display, a box whose button is pressed, and a box left up while the
// program is ended. No display is named, so no real box can appear.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/Win32.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class ZenityStandIn : public ::testing::Test {
  protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("larkspur-box-" + std::to_string(getpid()));
        fs::create_directories(Dir);
        const char* path = std::getenv("PATH");
        SavedPath = path != nullptr ? path : "";
        // The stand-in first; the tools its script uses after it.
        setenv("PATH", (Dir.string() + ":/usr/bin:/bin").c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }
    void TearDown() override {
        setenv("PATH", SavedPath.c_str(), 1);
        std::error_code ignored;
        fs::remove_all(Dir, ignored);
    }
    // A zenity that runs this shell script (with the directory as $D).
    void Zenity(const std::string& script) const {
        const fs::path zenity = Dir / "zenity";
        std::ofstream(zenity) << "#!/bin/sh\nD='" << Dir.string() << "'\n" << script << "\n";
        chmod(zenity.c_str(), 0755);
    }
    fs::path Dir;
    std::string SavedPath;
};

} // namespace

// zenity without a display complains and exits as if its box had been closed; SDL calls
// that success. The reason must still reach standard error, alone.
TEST_F(ZenityStandIn, NoDisplayGivesTheBoxTextAloneOnStandardError) {
    Zenity("echo '(zenity:1): Gtk-WARNING **: cannot open display: ' >&2\nexit 1");
    ::testing::internal::CaptureStderr();
    const int answer = MessageBoxA(nullptr, "Error! Loading Song: File not found", "Error!", MB_OK);
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, "Error!: Error! Loading Song: File not found\n");
    EXPECT_EQ(answer, 0);
}

// The stand-in on standard error also says why the call just before the box failed, and
// only that call: a reason left by an earlier one would explain the wrong failure.
TEST_F(ZenityStandIn, NoDisplayAlsoGivesWhyTheCallBeforeFailed) {
    Zenity("exit 1");
    RECT rect = {};
    ::testing::internal::CaptureStderr();
    ASSERT_FALSE(GetClientRect(nullptr, &rect));
    MessageBoxA(nullptr, "Window Creation Error.", "Error", MB_OK | MB_ICONERROR);
    ASSERT_FALSE(GetClientRect(nullptr, &rect));
    ASSERT_NE(GetModuleHandleA(nullptr), nullptr);
    MessageBoxA(nullptr, "Window Creation Error.", "Error", MB_OK | MB_ICONERROR);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Error: Window Creation Error. (GetClientRect: invalid window handle)\n"
              "Error: Window Creation Error.\n");
}

TEST_F(ZenityStandIn, PressedButtonMeansShownAndNothingOnStandardError) {
    Zenity("printf '%s\\n' \"$@\" > \"$D/args\"\necho 'Gtk-Message: mapped without a transient "
           "parent' >&2\necho OK");
    ::testing::internal::CaptureStderr();
    const int answer =
        MessageBoxA(nullptr, "Window Creation Error.", "Error", MB_OK | MB_ICONERROR);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(answer, IDOK);
    const std::string args = ReadAll(Dir / "args");
    EXPECT_NE(args.find("Window Creation Error.\n"), std::string::npos) << args;
    EXPECT_NE(args.find("\nError\n"), std::string::npos) << args;
}

// The box's helper goes when the program is ended while the box is up.
TEST_F(ZenityStandIn, HelperEndsWithTheProgram) {
    Zenity("echo $$ > \"$D/pid.tmp\"\nmv "
           "\"$D/pid.tmp\" \"$D/pid\"\nexec sleep 60");
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        MessageBoxA(nullptr, "Window Creation Error.", "Error", MB_OK | MB_ICONERROR);
        _exit(0);
    }
    pid_t helper = 0;
    for (int i = 0; i < 1000 && helper == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (fs::exists(Dir / "pid")) {
            helper = std::atoi(ReadAll(Dir / "pid").c_str());
        }
    }
    kill(program, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(program, &status, 0), program);
    ASSERT_GT(helper, 0) << "the stand-in never ran";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    // Gone, or a zombie waiting for whoever adopted it.
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i) {
        const std::string stat = ReadAll("/proc/" + std::to_string(helper) + "/stat");
        const std::size_t close = stat.rfind(')');
        ended = stat.empty() || (close != std::string::npos && stat.substr(close + 2, 1) == "Z");
        if (!ended) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    EXPECT_TRUE(ended) << "the box's helper " << helper << " outlived the program";
    if (!ended) {
        kill(helper, SIGKILL);
    }
}
