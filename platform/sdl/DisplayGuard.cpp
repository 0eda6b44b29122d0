// Starting and stopping the display guardian (guardian/DisplayGuardian.cpp).
//
// The guardian's standard input is the read end of a pipe whose write end only this
// process holds (close-on-exec, so nothing this process starts inherits it): when this
// process ends, by any means, the guardian reads end of file. Its standard output goes the
// other way and stays open while it lives, so a thread here sees at once when it ends
// without being asked to, reaps it and starts another. By the time of the switch the
// sound thread runs, so the guardian is started with posix_spawn, which runs nothing but
// the exec in the child.
#include "platform/DisplayGuard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

extern char** environ;

// How long the guardian may take to reach the display and join its layout record.
static constexpr int GuardianReadyMs = 3000;

namespace {
// Shared with the threads that watch the guardians; never destroyed, since the show may
// end through exit() while one of them waits.
struct Guard {
    std::mutex Lock;
    // The write end of the present guardian's input; -1 while unguarded.
    int ToGuardian = -1;
    // Counts the guardians started, so a watcher knows whether its own is the present one.
    std::uint64_t Generation = 0;
    int Width = 0;
    int Height = 0;
    std::uint64_t Window = 0;
};
} // namespace

static Guard& TheGuard() {
    static Guard* const guard = new Guard;
    return *guard;
}

static std::string GuardianPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(self, static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return path.substr(0, slash + 1) + "larkspur-display-guardian";
}

static void Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

static pid_t SpawnGuardian(const std::string& path, int input, int output, const Guard& guard) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    // Its own session: out of reach of the terminal's Ctrl-C and hang-up.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const std::string widthText = std::to_string(guard.Width);
    const std::string heightText = std::to_string(guard.Height);
    const std::string windowText = std::to_string(guard.Window);
    char* const argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(widthText.c_str()),
                          const_cast<char*>(heightText.c_str()),
                          guard.Window != 0 ? const_cast<char*>(windowText.c_str()) : nullptr,
                          nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ) != 0) {
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

static bool AwaitReady(int ready) {
    pollfd poller = {ready, POLLIN, 0};
    int polled = 0;
    do {
        polled = poll(&poller, 1, GuardianReadyMs);
    } while (polled < 0 && errno == EINTR);
    char byte = 0;
    return polled == 1 && read(ready, &byte, 1) == 1 && byte == 'R';
}

static bool SpawnLocked(Guard& guard);

// Waits until this guardian's output closes, which only its end does, and reaps it. If
// it was still the show's guardian (it was killed, or its display went away), a new one
// takes its place at once: the record on the display still names the layout to restore.
static void WatchGuardian(pid_t pid, int alive, std::uint64_t generation) {
    pollfd poller = {alive, POLLIN, 0};
    char byte = 0;
    for (;;) {
        const int polled = poll(&poller, 1, -1);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled < 0 || read(alive, &byte, 1) <= 0) {
            break;
        }
    }
    close(alive);
    Reap(pid);
    Guard& guard = TheGuard();
    const std::lock_guard<std::mutex> hold(guard.Lock);
    if (generation == guard.Generation && guard.ToGuardian >= 0) {
        close(guard.ToGuardian);
        guard.ToGuardian = -1;
        SpawnLocked(guard);
    }
}

static bool SpawnLocked(Guard& guard) {
    const std::string path = GuardianPath();
    if (path.empty() || access(path.c_str(), X_OK) != 0) {
        return false;
    }
    int toGuardian[2];
    int ready[2];
    if (pipe2(toGuardian, O_CLOEXEC) != 0) {
        return false;
    }
    if (pipe2(ready, O_CLOEXEC) != 0) {
        close(toGuardian[0]);
        close(toGuardian[1]);
        return false;
    }
    const pid_t pid = SpawnGuardian(path, toGuardian[0], ready[1], guard);
    close(toGuardian[0]);
    close(ready[1]);
    if (pid <= 0 || !AwaitReady(ready[0])) {
        close(ready[0]);
        close(toGuardian[1]);
        if (pid > 0) {
            // It found no display, or hangs on one: either way it is of no use.
            kill(pid, SIGKILL);
            Reap(pid);
        }
        return false;
    }
    const std::uint64_t generation = ++guard.Generation;
    try {
        std::thread(WatchGuardian, pid, ready[0], generation).detach();
    } catch (const std::system_error&) {
        // Guarded still, only not watched.
        close(ready[0]);
    }
    guard.ToGuardian = toGuardian[1];
    return true;
}

void StartDisplayGuard(int width, int height, std::uint64_t window) {
    Guard& guard = TheGuard();
    const std::lock_guard<std::mutex> hold(guard.Lock);
    if (guard.ToGuardian >= 0) {
        return;
    }
    guard.Width = width;
    guard.Height = height;
    guard.Window = window;
    SpawnLocked(guard);
}

void StopDisplayGuard() {
    Guard& guard = TheGuard();
    const std::lock_guard<std::mutex> hold(guard.Lock);
    if (guard.ToGuardian < 0) {
        return;
    }
    // It checks, gives the layout back if this was the last show, and ends; its watcher
    // reaps it.
    close(guard.ToGuardian);
    guard.ToGuardian = -1;
}

void RestoreDisplayModeAtExit() {
    // The guardian started by the mode change gives the layout back however we end.
}
