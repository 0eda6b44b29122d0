// The handler only notes a request while a window exists to close (PumpSdlEvents turns it
// into WM_CLOSE); otherwise it puts the default action back and lets it happen.
#include "platform/EndRequests.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <csignal>

#include "platform/sdl/Objects.h"

static std::atomic<bool> Heeded{false};
static std::atomic<bool> Waiting{false};

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs lock-free atomics");

static void OnEndRequest(int signal) {
    if (Heeded.load() && !Waiting.exchange(true)) {
        return;
    }
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    // Blocked until this handler returns, and then fatal.
    raise(signal);
}

void CatchEndRequests() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action = {};
    action.sa_handler = OnEndRequest;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM}) {
        struct sigaction previous = {};
        // An ignored signal (nohup, a job started in the background) stays ignored.
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_DFL) {
            sigaction(signal, &action, nullptr);
        }
    }
}

void HeedEndRequests(bool heeded) {
    Heeded = heeded;
}

bool TakeEndRequest() {
    return Waiting.exchange(false);
}
