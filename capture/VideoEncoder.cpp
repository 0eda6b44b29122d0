// The encoder: the ffmpeg program, fed raw BGRA frames through a pipe by a writer
// thread, so that drawing the next frame goes on while ffmpeg takes the last one. It
// muxes them with the soundtrack WAV into H.264 + AAC in MP4.
#include "capture/Capture.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// Frames queued between the renderer and the pipe.
static constexpr std::size_t QueueDepth = 4;
// 4K frames are 33 MB each: two waiting keep the recorder's memory in bounds.
static constexpr std::size_t LargeFrameQueueDepth = 2;
static constexpr std::size_t LargeFrameBytes = std::size_t{16} << 20;
static std::size_t FrameSize = CaptureFrameBytes;
static int FrameRowCount = CaptureHeight;

static pid_t EncoderPid = -1;
static int EncoderPipe = -1;
static std::thread Writer;
static std::mutex QueueLock;
static std::condition_variable QueueChanged;
static std::deque<std::vector<std::uint8_t>> Queue;
static std::vector<std::vector<std::uint8_t>> SpareFrames;
static bool WriterStop = false;
static bool WriterFailed = false;
static int WriterErrno = 0;
static double WaitSeconds = 0;
static double CpuSeconds = 0;

static bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            WriterErrno = errno;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

static void WriterLoop() {
    while (true) {
        std::vector<std::uint8_t> frame;
        {
            std::unique_lock<std::mutex> lock(QueueLock);
            QueueChanged.wait(lock, [] { return !Queue.empty() || WriterStop; });
            if (Queue.empty()) {
                return;
            }
            frame = std::move(Queue.front());
            Queue.pop_front();
        }
        const bool ok = WriterFailed ? false : WriteAll(EncoderPipe, frame.data(), frame.size());
        {
            std::lock_guard<std::mutex> lock(QueueLock);
            if (!ok) {
                WriterFailed = true;
            }
            SpareFrames.push_back(std::move(frame));
        }
        QueueChanged.notify_all();
    }
}

// ffmpeg finds the soundtrack and the video file at these descriptors.
static constexpr int SoundtrackDescriptor = 3;
static constexpr int OutputDescriptor = 4;
// The ffmpeg of this run, as its messages name it.
static std::string EncoderProgram;

const char* VideoContainerFor(const std::string& path) {
    const auto endsWith = [&](const char* extension) {
        const std::size_t n = std::strlen(extension);
        return path.size() > n && strcasecmp(path.c_str() + path.size() - n, extension) == 0 &&
               path[path.size() - n - 1] != '/';
    };
    if (endsWith(".mkv")) {
        return "matroska";
    }
    if (endsWith(".mov")) {
        return "mov";
    }
    return "mp4";
}

std::string FindEncoderIn(const char* searchPath) {
    std::string path;
    if (searchPath != nullptr) {
        path = searchPath;
    } else {
        char fallback[256] = {};
        confstr(_CS_PATH, fallback, sizeof fallback);
        path = fallback;
    }
    for (std::size_t begin = 0; begin <= path.size();) {
        std::size_t colon = path.find(':', begin);
        if (colon == std::string::npos) {
            colon = path.size();
        }
        const std::string folder = path.substr(begin, colon - begin);
        begin = colon + 1;
        if (folder.empty() || folder[0] != '/') {
            continue;
        }
        const std::string program = folder + (folder.back() == '/' ? "" : "/") + "ffmpeg";
        struct stat info = {};
        if (stat(program.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(program.c_str(), X_OK) == 0) {
            return program;
        }
    }
    return {};
}

std::string FindEncoder() {
    return FindEncoderIn(std::getenv("PATH"));
}

EncoderPreset EncoderPresetFor(int width, int height) {
    // The shimmer's new tiling in every frame makes the picture costly to encode;
    // "superfast" takes half the CPU of "veryfast" for files about 8 % larger. Larger
    // frames hide finer quantising, and their files would grow with the pixel count.
    // B-frames buy little on a picture that changes all over in every frame: without
    // them x264 takes a fifth (640 x 480) to a third (1080p) less CPU for files about 5 %
    // larger at the same measured quality. Above 640 x 480 the search for motion finer
    // than a pixel finds little in the shimmer's jumps either: without it x264 takes a
    // fifth less CPU at 1080p for files 3 % larger at the same SSIM.
    // At 640 x 480 the recording shares two cores with the drawing, and the encoder is
    // what gives: "ultrafast" with its deblocking filter back on, at CRF 17, matches the
    // luma SSIM of "superfast" at CRF 18 for a third less x264 CPU (most of it CABAC's, at
    // this bit rate) and files about 40 % larger.
    const long pixels = static_cast<long>(width) * height;
    if (pixels <= 640L * 480) {
        return {"ultrafast", 17, 0, "deblock=0,0"};
    }
    if (pixels <= 1920L * 1080) {
        return {"superfast", 20, 0, "subme=0"};
    }
    return {"superfast", 22, 0, ""};
}

bool StartEncoder(int soundtrackFd, int fps, int outputFd, const std::string& format,
                  std::string& error) {
    EncoderProgram = FindEncoder();
    if (EncoderProgram.empty()) {
        error = "no video encoder: no ffmpeg program in the absolute folders of PATH (Debian "
                "package ffmpeg); --stills needs none";
        return false;
    }
    // A dead encoder shows up as a failed write, not as a signal that kills us.
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe to the encoder: ") + std::strerror(errno);
        return false;
    }
    // A bigger pipe lets a whole frame wait in the kernel; the default size is fine too.
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);

    const std::string size = std::to_string(FrameWidth()) + "x" + std::to_string(FrameHeight());
    const EncoderPreset preset = EncoderPresetFor(FrameWidth(), FrameHeight());
    const std::string rate = std::to_string(fps);
    std::vector<std::string> args = {
        // -xerror: a failed write of the file's end (a full disk) is a failure, not only
        // a message.
        "ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-xerror", "-y",
        // Picture: raw frames from the pipe, exactly `fps` per second.
        "-f", "rawvideo", "-pix_fmt", FramePixelOrder() == PixelOrder::Rgba ? "rgba" : "bgra",
        "-video_size", size, "-framerate", rate, "-i", "pipe:0",
        // Sound: the soundtrack, already cut to the frames, read as the file it is (by
        // the descriptor: it has no name).
        "-i", "file:/dev/fd/" + std::to_string(SoundtrackDescriptor), "-map", "0:v:0", "-map",
        "1:a:0",
        // Plays everywhere: H.264 4:2:0 and AAC, index at the front.
        "-c:v", "libx264", "-preset", preset.Preset, "-crf", std::to_string(preset.Crf), "-bf",
        std::to_string(preset.BFrames), "-pix_fmt", "yuv420p", "-r", rate, "-c:a", "aac", "-b:a",
        "192k", "-movflags", "+faststart"};
    if (*preset.Params != '\0') {
        args.insert(args.end(), {"-x264-params", preset.Params});
    }
    // The file this run made, by its descriptor: ffmpeg reopens it to put the index first,
    // and a name could by then lead elsewhere. It has no extension to tell the container by.
    args.insert(args.end(), {"-f", format, "file:/dev/fd/" + std::to_string(OutputDescriptor)});
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    // dup2 clears close-on-exec on the copy it makes, but not when the descriptor has the
    // number already: both files are first moved clear of the numbers they are copied to.
    const int soundtrack = fcntl(soundtrackFd, F_DUPFD_CLOEXEC, 10);
    const int output = fcntl(outputFd, F_DUPFD_CLOEXEC, 10);
    if (soundtrack < 0 || output < 0) {
        error = std::string("cannot hand the files to the encoder: ") + std::strerror(errno);
        for (int fd : {fds[0], fds[1], soundtrack, output}) {
            if (fd >= 0) {
                close(fd);
            }
        }
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, soundtrack, SoundtrackDescriptor);
    posix_spawn_file_actions_adddup2(&actions, output, OutputDescriptor);
    const int spawned =
        posix_spawn(&EncoderPid, EncoderProgram.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    close(soundtrack);
    close(output);
    if (spawned != 0) {
        close(fds[1]);
        EncoderPid = -1;
        error = "cannot start the encoder " + PrintableName(EncoderProgram) + ": " +
                std::strerror(spawned);
        return false;
    }
    GuardChildInProgress(EncoderPid);
    EncoderPipe = fds[1];
    WriterStop = false;
    WriterFailed = false;
    WaitSeconds = 0;
    CpuSeconds = 0;
    FrameSize = FrameBytes();
    FrameRowCount = FrameHeight();
    for (std::vector<std::uint8_t>& spare : SpareFrames) {
        spare.resize(FrameSize);
    }
    const std::size_t depth = FrameSize > LargeFrameBytes ? LargeFrameQueueDepth : QueueDepth;
    SpareFrames.resize(std::min(SpareFrames.size(), depth));
    for (std::size_t i = SpareFrames.size(); i < depth; ++i) {
        SpareFrames.emplace_back(FrameSize);
    }
    Writer = std::thread(WriterLoop);
    return true;
}

bool SubmitFrame(FrameRows rows) {
    std::vector<std::uint8_t> frame;
    {
        const auto waitStart = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(QueueLock);
        QueueChanged.wait(lock, [] { return !SpareFrames.empty() || WriterFailed; });
        WaitSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - waitStart).count();
        if (WriterFailed) {
            return false;
        }
        frame = std::move(SpareFrames.back());
        SpareFrames.pop_back();
    }
    frame.resize(FrameSize);
    const std::size_t row = FrameSize / static_cast<std::size_t>(FrameRowCount);
    for (int y = 0; y < FrameRowCount; ++y) {
        std::memcpy(frame.data() + row * static_cast<std::size_t>(y), rows.Top + rows.Stride * y,
                    row);
    }
    {
        std::lock_guard<std::mutex> lock(QueueLock);
        Queue.push_back(std::move(frame));
    }
    QueueChanged.notify_all();
    return true;
}

bool FinishEncoder(std::string& error) {
    if (EncoderPid < 0) {
        error = "the encoder was not started";
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(QueueLock);
        WriterStop = true;
    }
    QueueChanged.notify_all();
    const auto waitStart = std::chrono::steady_clock::now();
    if (Writer.joinable()) {
        Writer.join();
    }
    close(EncoderPipe);
    EncoderPipe = -1;
    int status = 0;
    struct rusage usage = {};
    pid_t waited;
    do {
        waited = wait4(EncoderPid, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    WaitSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - waitStart).count();
    GuardChildInProgress(-1);
    EncoderPid = -1;
    CpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (waited < 0) {
        error = std::string("lost the encoder: ") + std::strerror(errno);
        return false;
    }
    if (WIFSIGNALED(status)) {
        error = "the encoder " + PrintableName(EncoderProgram) + " was killed by signal " +
                std::to_string(WTERMSIG(status));
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        error = "the encoder " + PrintableName(EncoderProgram) + " failed with exit status " +
                std::to_string(WEXITSTATUS(status)) + " (its message is above)";
        return false;
    }
    if (WriterFailed) {
        error = std::string("the encoder stopped taking frames: ") + std::strerror(WriterErrno);
        return false;
    }
    return true;
}

double EncoderWaitSeconds() {
    return WaitSeconds;
}
double EncoderCpuSeconds() {
    return CpuSeconds;
}

void AbandonEncoder() {
    if (EncoderPid < 0) {
        return;
    }
    // The writer's next write then fails at once and it stops.
    kill(EncoderPid, SIGKILL);
    std::string ignored;
    FinishEncoder(ignored);
}
