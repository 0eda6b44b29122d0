// Stopping a recording from outside: Ctrl-C, a termination request, or a closed
// terminal or SSH connection (SIGHUP). The first one is only noted, and the recording
// stops after the current frame and cleans up on its own path. A second one means the
// user will not wait: the handler kills the encoder, removes the file in progress and
// ends the process itself, using only calls that are safe inside a signal handler.
#include "capture/Capture.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static std::atomic<int> Interrupts{0};
static std::atomic<pid_t> GuardedChild{-1};
static std::atomic<bool> GuardedFileSet{false};
// Written only while GuardedFileSet is false, so the handler never sees half of them.
static int GuardedFolder = -1;
static int GuardedFd = -1;
static char GuardedName[256];

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free,
              "the signal handler needs lock-free atomics");

static void OnInterrupt(int) {
    if (Interrupts.fetch_add(1) == 0) {
        return;
    }
    // The encoder goes first: a running ffmpeg could write the file again.
    const pid_t child = GuardedChild.load();
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    // Only while the name still leads to this run's file: it may be another's by now.
    struct stat byName = {};
    struct stat open = {};
    if (GuardedFileSet.load() && fstat(GuardedFd, &open) == 0 &&
        fstatat(GuardedFolder, GuardedName, &byName, AT_SYMLINK_NOFOLLOW) == 0 &&
        byName.st_dev == open.st_dev && byName.st_ino == open.st_ino) {
        unlinkat(GuardedFolder, GuardedName, 0);
    }
    static const char message[] = "larkspur-capture: interrupted again; stopped at once\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

void CatchInterrupts() {
    Interrupts = 0;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    // Slow calls carry on after the first signal; the frame loop looks at the flag.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&action.sa_mask, signal);
    }
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

bool CaptureInterrupted() {
    return Interrupts.load() != 0;
}

void GuardFileInProgress(int folder, const char* name, int fd) {
    GuardedFileSet = false;
    if (name == nullptr || std::strlen(name) >= sizeof GuardedName) {
        return;
    }
    std::strcpy(GuardedName, name);
    GuardedFolder = folder;
    GuardedFd = fd;
    GuardedFileSet = true;
}

void GuardChildInProgress(pid_t child) {
    GuardedChild = child;
}
