// SDL's video start-up, with a limit.
//
// Connecting to a display server that accepts the connection and then never answers (a
// stopped X server, a socket some other program listens on) blocks inside the server's
// client library with no time limit, and no signal gets it out. So the start runs on a
// thread of its own while the caller waits a bounded time. A start that never returns
// leaves that thread blocked until the process ends; everything it touches is shared
// with it and never freed.
#include <SDL2/SDL.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/sdl/Objects.h"

namespace {
struct VideoStart {
    std::mutex Lock;
    std::condition_variable Finished;
    bool Done = false;
    int Result = -1;
    std::string Error;
};
} // namespace

static bool NeverAnswered = false;

bool DisplayNeverAnswered() {
    return NeverAnswered;
}

bool StartSdlVideoWithin(int limitMs, std::string* failure) {
    if (NeverAnswered) {
        *failure = "the display server does not answer";
        return false;
    }
    auto start = std::make_shared<VideoStart>();
    try {
        std::thread([start] {
            const int result = SDL_InitSubSystem(SDL_INIT_VIDEO);
            // SDL keeps its error text per thread: take it here.
            const std::string error = result != 0 ? SDL_GetError() : "";
            // SDL frees its per-thread data only on threads it made itself.
            SDL_TLSCleanup();
            const std::lock_guard<std::mutex> hold(start->Lock);
            start->Result = result;
            start->Error = error;
            start->Done = true;
            start->Finished.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        *failure = "no thread to start the video on";
        return false;
    }
    std::unique_lock<std::mutex> hold(start->Lock);
    if (!start->Finished.wait_for(hold, std::chrono::milliseconds(limitMs),
                                  [&start] { return start->Done; })) {
        NeverAnswered = true;
        *failure = "the display server does not answer";
        return false;
    }
    *failure = start->Error;
    return start->Result == 0;
}
