// MessageBoxA over SDL's message box; standard error where no box was shown.
//
// SDL shows a box in a process of its own: zenity where it is installed, or a forked copy
// of this one drawing with X. Such a helper must not outlive the show, and what it says
// on standard error (zenity's Gtk warnings, X's complaints) is not the show's message, so
// a helper forked while a box is being shown loses its standard error and dies with the
// thread that asked for the box.
#include <SDL2/SDL.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "platform/Win32.h"
#include "platform/sdl/Objects.h"

static std::atomic<pid_t> BoxAsker{0};

// Runs in every child forked while a box is being shown; only calls safe after fork.
static void DetachBoxHelper() {
    const pid_t asker = BoxAsker.load();
    if (asker == 0) {
        return;
    }
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The asker may have died before the line above took hold.
    if (getppid() != asker) {
        _exit(1);
    }
    const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (quiet >= 0) {
        dup2(quiet, STDERR_FILENO);
        close(quiet);
    }
}

static void WatchForksOnce() {
    static const bool watched = pthread_atfork(nullptr, nullptr, DetachBoxHelper) == 0;
    (void)watched;
}

// The show asks for the error icon or none; the other icons it never uses.
static Uint32 SdlBoxFlags(UINT type) {
    return (type & 0xF0u) == MB_ICONERROR ? SDL_MESSAGEBOX_ERROR : 0;
}

// True only when a box was up and its button was pressed. SDL also reports success when
// zenity ran and failed to reach a display (it exits as if the box had been closed), so
// success without the button says nothing about whether anyone saw the text.
static bool ShowSdlBox(SDL_Window* parent, const char* text, const char* caption, UINT type) {
    // One OK button, answering both Return and Escape; the only type the show uses.
    SDL_MessageBoxButtonData ok = {};
    ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    ok.buttonid = IDOK;
    ok.text = "OK";
    SDL_MessageBoxData box = {};
    box.flags = SdlBoxFlags(type);
    box.window = parent;
    box.title = caption;
    box.message = text;
    box.numbuttons = 1;
    box.buttons = &ok;
    // A box waits for its button, not for the program's end: while it is up, SIGINT,
    // SIGTERM and SIGHUP end the process as they would without any handler.
    struct sigaction ending = {};
    ending.sa_handler = SIG_DFL;
    sigemptyset(&ending.sa_mask);
    struct sigaction previous[3] = {};
    const int signals[3] = {SIGINT, SIGTERM, SIGHUP};
    for (int i = 0; i < 3; ++i) {
        sigaction(signals[i], nullptr, &previous[i]);
        // An ignored signal (nohup) stays ignored.
        if (previous[i].sa_handler != SIG_IGN) {
            sigaction(signals[i], &ending, nullptr);
        }
    }
    WatchForksOnce();
    BoxAsker = getpid();
    int pressed = -1;
    const bool shown = SDL_ShowMessageBox(&box, &pressed) == 0 && pressed == IDOK;
    BoxAsker = 0;
    for (int i = 0; i < 3; ++i) {
        sigaction(signals[i], &previous[i], nullptr);
    }
    if (!shown) {
        SetPlatformFailure(SDL_GetError());
    }
    return shown;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    // Why the call before the box failed, when it did: the box text says what failed,
    // and a reader of standard error also gets why.
    const std::string why = PlatformFailureReason();
    ObservePlatformCall("MessageBoxA");
    const char* shownText = text != nullptr ? text : "";
    const char* shownCaption = caption != nullptr ? caption : "Error";
    SDL_Window* parent = IsLiveWindow(owner) ? owner->Sdl : nullptr;
    // A display that never answered would hold the box's helper for ever.
    if (!DisplayNeverAnswered() && ShowSdlBox(parent, shownText, shownCaption, type)) {
        return IDOK;
    }
    // No box was seen: the failure must still be.
    if (why.empty()) {
        std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
    } else {
        std::fprintf(stderr, "%s: %s (%s)\n", shownCaption, shownText, why.c_str());
    }
    std::fflush(stderr);
    return 0;
}
