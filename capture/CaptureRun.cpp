// One recording from start to end: check the inputs and the output, render the
// soundtrack, open the show offscreen, then draw every frame from the first, reading
// back and encoding those that are wanted, until the end time or the end of the show.
#include "capture/Capture.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <GL/gl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CaptureTimings LastCaptureTimings;
bool CaptureMeasureStages = false;

using StageClock = std::chrono::steady_clock;

static double SecondsSince(StageClock::time_point start) {
    return std::chrono::duration<double>(StageClock::now() - start).count();
}

// Set by Ctrl-C or a termination request: the recording stops after the current frame
// and cleans up; a second one ends the process at once.
static volatile std::sig_atomic_t Interrupted = 0;

static void NoteInterrupt(int) {
    Interrupted = 1;
}

static void CatchInterrupts() {
    Interrupted = 0;
    struct sigaction action = {};
    action.sa_handler = NoteInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

static int Fail(const std::string& message) {
    std::fprintf(stderr, "larkspur-capture: %s\n", message.c_str());
    return 1;
}

// Opens the output for writing without changing it, to find out early whether the
// encoder could write it; a file this makes is removed again.
static bool CheckOutputWritable(const std::string& path, std::string& error) {
    struct stat info = {};
    const bool existed = stat(path.c_str(), &info) == 0;
    if (existed && S_ISDIR(info.st_mode)) {
        error = "cannot write the video to " + path + ": it is a folder";
        return false;
    }
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write the video to " + path + ": " + std::strerror(errno);
        return false;
    }
    close(fd);
    if (!existed) {
        unlink(path.c_str());
    }
    return true;
}

static bool PrepareStillFolder(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
        error = "cannot make the folder " + path + " for the stills: " + std::strerror(errno);
        return false;
    }
    struct stat info = {};
    if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "cannot write the stills to " + path + ": it is not a folder";
        return false;
    }
    if (access(path.c_str(), W_OK) != 0) {
        error = "cannot write the stills to " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

static std::string MakeTempWav(std::string& error) {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern =
        std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/larkspur-capture-XXXXXX.wav";
    int fd = mkstemps(pattern.data(), 4);
    if (fd < 0) {
        error = "cannot make a temporary file for the soundtrack: " + std::string(strerror(errno));
        return {};
    }
    close(fd);
    return pattern;
}

static std::string StillName(const std::string& folder, std::uint32_t time) {
    char name[32];
    std::snprintf(name, sizeof name, "still-%05u.png", time);
    return folder + "/" + name;
}

static int RecordStills(const CaptureOptions& options) {
    std::string error;
    if (!PrepareStillFolder(options.Output, error)) {
        return Fail(error);
    }
    std::uint64_t lastFrame = 0;
    for (std::uint32_t t : options.Stills) {
        lastFrame = std::max(lastFrame, FrameOnScreenAt(t, options.Fps));
    }
    if (!OpenCaptureScene(error)) {
        return Fail(error);
    }
    std::vector<std::uint8_t> picture(CaptureFrameBytes);
    const auto started = StageClock::now();
    StartProgress(lastFrame + 1, options.Quiet);
    for (std::uint64_t n = 0; n <= lastFrame; ++n) {
        if (Interrupted != 0) {
            EndProgress(n);
            return Fail("interrupted");
        }
        if (!RenderCaptureFrame(FrameTime(n, options.Fps))) {
            EndProgress(n);
            return Fail("the show ended at " + std::to_string(FrameTime(n, options.Fps)) +
                        " ms, before the last still");
        }
        ++LastCaptureTimings.FramesRendered;
        bool read = false;
        for (std::uint32_t t : options.Stills) {
            if (FrameOnScreenAt(t, options.Fps) != n) {
                continue;
            }
            if (!read) {
                ReadFrameNow(picture.data());
                read = true;
            }
            const int scale = options.StillScale;
            const std::vector<std::uint8_t> small =
                scale > 1 ? ShrinkPicture(picture.data(), CaptureWidth, CaptureHeight, scale)
                          : std::vector<std::uint8_t>();
            if (!WritePngFile(StillName(options.Output, t),
                              scale > 1 ? small.data() : picture.data(), CaptureWidth / scale,
                              CaptureHeight / scale, error)) {
                EndProgress(n);
                return Fail(error);
            }
            ++LastCaptureTimings.FramesWritten;
        }
        UpdateProgress(n + 1);
    }
    EndProgress(lastFrame + 1);
    LastCaptureTimings.Wall = SecondsSince(started);
    for (std::uint32_t t : options.Stills) {
        std::fprintf(stderr, "larkspur-capture: wrote %s\n", StillName(options.Output, t).c_str());
    }
    return 0;
}

static int RecordVideo(const CaptureOptions& options) {
    std::string error;
    const std::string encoder = FindEncoder();
    if (encoder.empty()) {
        return Fail("no video encoder: the ffmpeg program is not installed (Debian package "
                    "ffmpeg); --stills needs none");
    }
    if (!CheckOutputWritable(options.Output, error)) {
        return Fail(error);
    }
    const int fps = options.Fps;
    const std::uint64_t first = FirstFrameAtOrAfter(options.Start, fps);
    const std::uint64_t end = FirstFrameAtOrAfter(options.End, fps);
    if (first >= end) {
        return Fail("no frame falls between --start and --end at this frame rate");
    }

    const std::string wav = MakeTempWav(error);
    if (wav.empty()) {
        return Fail(error);
    }
    struct RemoveWav {
        std::string Path;
        ~RemoveWav() { unlink(Path.c_str()); }
    } removeWav{wav};
    if (!WriteSoundtrack(ShowDataFiles[SongDataFile], FrameSample(first, fps),
                         FrameSample(end, fps) - FrameSample(first, fps), wav, error)) {
        return Fail(error);
    }
    if (!OpenCaptureScene(error)) {
        return Fail(error);
    }
    if (!StartEncoder(encoder, wav, fps, options.Output, error)) {
        return Fail(error);
    }

    CaptureTimings& timings = LastCaptureTimings;
    const auto started = StageClock::now();
    StartProgress(end, options.Quiet);
    bool encoderOk = true;
    std::uint64_t endedAt = end;
    for (std::uint64_t n = 0; n < end && encoderOk && Interrupted == 0; ++n) {
        auto stage = StageClock::now();
        if (!RenderCaptureFrame(FrameTime(n, fps))) {
            endedAt = n;
            break;
        }
        ++timings.FramesRendered;
        if (n >= first) {
            if (CaptureMeasureStages) {
                glFinish();
            }
            timings.Render += SecondsSince(stage);
            stage = StageClock::now();
            StartFrameRead();
            const std::uint8_t* frame = TakeFrame();
            timings.Readback += SecondsSince(stage);
            if (frame != nullptr) {
                encoderOk = SubmitFrame(frame);
                timings.FramesWritten += encoderOk ? 1 : 0;
            }
        } else {
            timings.Render += SecondsSince(stage);
        }
        UpdateProgress(n + 1);
    }
    while (encoderOk) {
        const auto stage = StageClock::now();
        const std::uint8_t* frame = FlushFrame();
        timings.Readback += SecondsSince(stage);
        if (frame == nullptr) {
            break;
        }
        encoderOk = SubmitFrame(frame);
        timings.FramesWritten += encoderOk ? 1 : 0;
    }
    EndProgress(endedAt);
    const bool finished = FinishEncoder(error);
    timings.Wall = SecondsSince(started);
    timings.EncoderWait = EncoderWaitSeconds();
    timings.EncoderCpu = EncoderCpuSeconds();
    if (!finished || Interrupted != 0) {
        // Half a recording is no recording.
        unlink(options.Output.c_str());
        return Fail(Interrupted != 0 ? "interrupted; " + options.Output + " removed" : error);
    }
    if (endedAt < end) {
        std::fprintf(stderr,
                     "larkspur-capture: warning: the show ended at %u ms, before the end of the "
                     "recording; the soundtrack runs on past the last frame\n",
                     FrameTime(endedAt, fps));
    } else if (options.End == ShowEndTime && RenderCaptureFrame(FrameTime(end, fps))) {
        // The live show ends inside this frame; if it does not, the show has changed.
        std::fprintf(stderr, "larkspur-capture: warning: the show did not end by itself at %u ms\n",
                     FrameTime(end, fps));
    }
    std::fprintf(stderr, "larkspur-capture: wrote %s (%llu frames, %.3f s at %d fps)\n",
                 options.Output.c_str(), static_cast<unsigned long long>(timings.FramesWritten),
                 static_cast<double>(timings.FramesWritten) / fps, fps);
    return 0;
}

int RunCapture(const CaptureOptions& given) {
    LastCaptureTimings = {};
    CatchInterrupts();
    CaptureOptions options = given;
    if (!options.ShowDir.empty()) {
        // The show reads data/ from its working directory; the output stays where the
        // caller meant it.
        if (!options.Output.empty() && options.Output[0] != '/') {
            char* here = getcwd(nullptr, 0);
            if (here == nullptr) {
                return Fail(std::string("cannot tell the working directory: ") +
                            std::strerror(errno));
            }
            options.Output = std::string(here) + "/" + options.Output;
            std::free(here);
        }
        if (chdir(options.ShowDir.c_str()) != 0) {
            return Fail("cannot enter " + options.ShowDir + ": " + std::strerror(errno));
        }
    }
    const std::string missing = CheckShowData();
    if (!missing.empty()) {
        return Fail(missing);
    }
    return options.Stills.empty() ? RecordVideo(options) : RecordStills(options);
}
