// Starting and stopping the display guardian (platform/guardian/DisplayGuardian.cpp).
//
// The guardian's standard input is the read end of a pipe whose write end only this
// process holds (close-on-exec, so nothing this process starts inherits it): when this
// process ends, by any means, the guardian reads end of file. By the time of the switch
// the sound thread runs, so the guardian is started with posix_spawn, which runs nothing
// but the exec in the child.
#include "platform/DisplayGuard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

extern char** environ;

static pid_t GuardianPid = -1;
static int GuardianPipe = -1;

// How long the guardian may take to reach the display and save its layout.
static constexpr int GuardianReadyMs = 3000;

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

static void Reap(pid_t pid, bool wait) {
    int status = 0;
    while (waitpid(pid, &status, wait ? 0 : WNOHANG) < 0 && errno == EINTR) {
    }
}

static pid_t SpawnGuardian(const std::string& path, int input, int output, int width, int height) {
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
    const std::string widthText = std::to_string(width);
    const std::string heightText = std::to_string(height);
    char* const argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(widthText.c_str()),
                          const_cast<char*>(heightText.c_str()), nullptr};
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

void StartDisplayGuard(int width, int height) {
    if (GuardianPipe >= 0) {
        return;
    }
    const std::string path = GuardianPath();
    if (path.empty() || access(path.c_str(), X_OK) != 0) {
        return;
    }
    int toGuardian[2];
    int ready[2];
    if (pipe2(toGuardian, O_CLOEXEC) != 0) {
        return;
    }
    if (pipe2(ready, O_CLOEXEC) != 0) {
        close(toGuardian[0]);
        close(toGuardian[1]);
        return;
    }
    const pid_t pid = SpawnGuardian(path, toGuardian[0], ready[1], width, height);
    close(toGuardian[0]);
    close(ready[1]);
    const bool guarding = pid > 0 && AwaitReady(ready[0]);
    close(ready[0]);
    if (!guarding) {
        close(toGuardian[1]);
        if (pid > 0) {
            // It found no display, or hangs on one: either way it is of no use.
            kill(pid, SIGKILL);
            Reap(pid, true);
        }
        return;
    }
    GuardianPid = pid;
    GuardianPipe = toGuardian[1];
}

void StopDisplayGuard() {
    if (GuardianPipe < 0) {
        return;
    }
    close(GuardianPipe);
    GuardianPipe = -1;
    // It ends by itself in a moment; take its exit status if it already has.
    Reap(GuardianPid, false);
    GuardianPid = -1;
}

void RestoreDisplayModeAtExit() {
    // The guardian started by the mode change gives the layout back however we end.
}
