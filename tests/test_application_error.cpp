// The process-wide handler for an uncaught error: its box text and exit status 1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "app/ApplicationError.h"
#include "textures/ImageErrors.h"

TEST(ApplicationError, TextNamesKindModuleAddressThenTheMessage) {
    const void* address = reinterpret_cast<const void*>(std::uintptr_t{0x4010ab});
    EXPECT_EQ(ApplicationErrorText("EInOutError", "larkspur", address, "Read beyond end of file"),
              "Exception EInOutError in module larkspur at 0x4010ab.\nRead beyond end of file");
    // A long kind or module is cut, never written past the buffer.
    const std::string text = ApplicationErrorText(std::string(2000, 'K'), "m", address, "msg");
    EXPECT_LT(text.size(), 600u);
    EXPECT_EQ(text.substr(text.size() - 4), "\nmsg");
}

// With no display the box goes to standard error, which the death test reads. The
// error is raised on a thread of its own, where no test framework can catch it.
static void RaiseUncaughtOnThread(void (*raise)()) {
    std::thread raiser(raise);
    raiser.join();
}

static void RaiseUncaught() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    InstallApplicationErrorHandler();
    throw EInOutError(ReadBeyondEndOfFile);
}

static void RaiseUncaughtPlain() {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    InstallApplicationErrorHandler();
    throw 42;
}

TEST(ApplicationErrorDeathTest, UncaughtErrorShowsItsBoxAndEndsWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RaiseUncaughtOnThread(RaiseUncaught), ::testing::ExitedWithCode(1),
                "Application Error: Exception EInOutError in module test_application_error "
                "at 0x[0-9a-f]+\\.\nRead beyond end of file");
    EXPECT_EXIT(RaiseUncaughtOnThread(RaiseUncaughtPlain), ::testing::ExitedWithCode(1),
                "Application Error: Exception int in module [^ ]+ at 0x[0-9a-f]+\\.\n");
}
