// SIGTERM and SIGINT: fatal while no window exists (start-up), a close of the window once
// one does, and fatal again when a request is already waiting unread.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "platform/EndRequests.h"
#include "platform/Win32.h"

namespace {

LRESULT Quiet(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        std::exit(40);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Quiet;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Quiet";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "Quiet", "Quiet", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// Dispatches what is waiting; exits 41 when nothing closed the window.
void DrainMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&msg);
    }
    std::exit(41);
}

} // namespace

class EndRequestsDeathTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_P(EndRequestsDeathTest, FatalDuringStartUp) {
    const int signal = GetParam();
    EXPECT_EXIT(
        {
            CatchEndRequests();
            raise(signal);
            std::exit(0);
        },
        ::testing::KilledBySignal(signal), "");
}

TEST_P(EndRequestsDeathTest, ACloseOnceTheWindowExists) {
    const int signal = GetParam();
    EXPECT_EXIT(
        {
            CatchEndRequests();
            if (MakeWindow() == nullptr) {
                std::exit(42);
            }
            raise(signal);
            DrainMessages();
        },
        ::testing::ExitedWithCode(40), "");
}

TEST_P(EndRequestsDeathTest, FatalWhenOneIsAlreadyWaiting) {
    const int signal = GetParam();
    EXPECT_EXIT(
        {
            CatchEndRequests();
            if (MakeWindow() == nullptr) {
                std::exit(42);
            }
            raise(signal);
            raise(signal);
            DrainMessages();
        },
        ::testing::KilledBySignal(signal), "");
}

TEST_P(EndRequestsDeathTest, AnIgnoredSignalStaysIgnored) {
    const int signal = GetParam();
    EXPECT_EXIT(
        {
            std::signal(signal, SIG_IGN);
            CatchEndRequests();
            raise(signal);
            std::exit(43);
        },
        ::testing::ExitedWithCode(43), "");
}

INSTANTIATE_TEST_SUITE_P(TermAndInt, EndRequestsDeathTest, ::testing::Values(SIGTERM, SIGINT));
