// One recording from start to end: check the inputs and the output, render the
// soundtrack, open the show offscreen, move the show past the frames before the first
// one wanted without drawing them, then draw, read back and encode the wanted ones until
// the end time or the end of the show.
#include "capture/Capture.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <GL/gl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

CaptureTimings LastCaptureTimings;
bool CaptureMeasureStages = false;

using StageClock = std::chrono::steady_clock;

static double SecondsSince(StageClock::time_point start) {
    return std::chrono::duration<double>(StageClock::now() - start).count();
}

static double CpuSeconds(int who) {
    struct rusage usage = {};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

static int Fail(const std::string& message) {
    std::fprintf(stderr, "larkspur-capture: %s\n", message.c_str());
    return 1;
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
    const int fps = options.Fps;
    std::vector<std::uint64_t> frames;
    for (std::uint32_t t : options.Stills) {
        frames.push_back(FrameOnScreenAt(t, fps));
    }
    std::sort(frames.begin(), frames.end());
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    if (!OpenCaptureScene(error, options.Width, options.Height, options.Samples)) {
        return Fail(error);
    }
    std::vector<std::uint8_t> picture(FrameBytes());
    const auto started = StageClock::now();
    // Only the frames of the stills are drawn; the show is moved past the others.
    StartProgress(frames.size(), options.Quiet);
    std::uint64_t n = 0;
    for (std::size_t done = 0; done < frames.size(); ++done) {
        if (CaptureInterrupted()) {
            EndProgress(done);
            return Fail("interrupted");
        }
        while (n < frames[done] && SkipCaptureFrame(FrameTime(n, fps))) {
            ++n;
        }
        if (n < frames[done] || !RenderCaptureFrame(FrameTime(n, fps))) {
            EndProgress(done);
            return Fail("the show ended at " + std::to_string(FrameTime(n, fps)) +
                        " ms, before the last still");
        }
        ++LastCaptureTimings.FramesRendered;
        ReadFrameNow(picture.data());
        for (std::uint32_t t : options.Stills) {
            if (FrameOnScreenAt(t, fps) != n) {
                continue;
            }
            const int scale = options.StillScale;
            const std::vector<std::uint8_t> small =
                scale > 1 ? ShrinkPicture(picture.data(), options.Width, options.Height, scale)
                          : std::vector<std::uint8_t>();
            if (!WritePngFile(StillName(options.Output, t),
                              scale > 1 ? small.data() : picture.data(), options.Width / scale,
                              options.Height / scale, error)) {
                EndProgress(done);
                return Fail(error);
            }
            ++LastCaptureTimings.FramesWritten;
        }
        ++n;
        UpdateProgress(done + 1);
    }
    EndProgress(frames.size());
    LastCaptureTimings.Wall = SecondsSince(started);
    for (std::uint32_t t : options.Stills) {
        std::fprintf(stderr, "larkspur-capture: wrote %s\n", StillName(options.Output, t).c_str());
    }
    return 0;
}

// `path` is absolute: ffmpeg is given it as a plain file name. Messages name the output
// as the user wrote it.
static int RecordVideo(const CaptureOptions& options, const std::string& path) {
    std::string error;
    const int fps = options.Fps;
    const std::uint64_t first = FirstFrameAtOrAfter(options.Start, fps);
    const std::uint64_t end = FirstFrameAtOrAfter(options.End, fps);
    if (first >= end) {
        return Fail("no frame falls between --start and --end at this frame rate");
    }
    PartialFile video;
    const int videoFd = video.Create(path, "the video to " + options.Output, error);
    if (videoFd < 0) {
        return Fail(error);
    }
    close(videoFd); // ffmpeg opens it by name, as it rewrites it to put the index first

    const int soundtrack = MakeSoundtrackFile(error);
    if (soundtrack < 0) {
        return Fail(error);
    }
    const bool soundtrackWritten =
        WriteSoundtrack(ShowDataFiles[SongDataFile], FrameSample(first, fps),
                        FrameSample(end, fps) - FrameSample(first, fps), soundtrack, error);
    // A name without an extension tells ffmpeg no container: it gets the usual one.
    // The encoder reads the frame size from the frame target, so the scene comes first.
    if (soundtrackWritten &&
        !OpenCaptureScene(error, options.Width, options.Height, options.Samples)) {
        close(soundtrack);
        return Fail(error);
    }
    const bool started =
        soundtrackWritten && StartEncoder(soundtrack, fps, video.TemporaryPath(),
                                          HasFileExtension(path) ? "" : "mp4", error);
    close(soundtrack); // ffmpeg has its own copy
    if (!started) {
        return Fail(error);
    }

    CaptureTimings& timings = LastCaptureTimings;
    const auto startedAt = StageClock::now();
    const double mainCpuAtStart = CpuSeconds(RUSAGE_THREAD);
    const double processCpuAtStart = CpuSeconds(RUSAGE_SELF);
    StartProgress(end - first, options.Quiet);
    bool encoderOk = true;
    std::uint64_t endedAt = end;
    // The frames before the first are not drawn: the show is moved past them.
    for (std::uint64_t n = 0; n < first; ++n) {
        if (!SkipCaptureFrame(FrameTime(n, fps))) {
            endedAt = n;
            break;
        }
    }
    for (std::uint64_t n = first; n < endedAt && encoderOk && !CaptureInterrupted(); ++n) {
        auto stage = StageClock::now();
        if (!RenderCaptureFrame(FrameTime(n, fps))) {
            endedAt = n;
            break;
        }
        ++timings.FramesRendered;
        if (CaptureMeasureStages) {
            glFinish();
        }
        timings.Render += SecondsSince(stage);
        stage = StageClock::now();
        StartFrameRead();
        const FrameRows frame = TakeFrame();
        timings.Readback += SecondsSince(stage);
        if (frame.Top != nullptr) {
            encoderOk = SubmitFrame(frame);
            timings.FramesWritten += encoderOk ? 1 : 0;
        }
        UpdateProgress(n + 1 - first);
    }
    if (CaptureInterrupted()) {
        // Half a recording is no recording; there is no need to wait for it.
        EndProgress(endedAt > first ? endedAt - first : 0);
        AbandonEncoder();
        return Fail("interrupted; " + options.Output + " was not written");
    }
    while (encoderOk) {
        const auto stage = StageClock::now();
        const FrameRows frame = FlushFrame();
        timings.Readback += SecondsSince(stage);
        if (frame.Top == nullptr) {
            break;
        }
        encoderOk = SubmitFrame(frame);
        timings.FramesWritten += encoderOk ? 1 : 0;
    }
    EndProgress(endedAt > first ? endedAt - first : 0);
    const bool finished = FinishEncoder(error);
    timings.Wall = SecondsSince(startedAt);
    timings.MainThreadCpu = CpuSeconds(RUSAGE_THREAD) - mainCpuAtStart;
    timings.ProcessCpu = CpuSeconds(RUSAGE_SELF) - processCpuAtStart;
    timings.EncoderWait = EncoderWaitSeconds();
    timings.EncoderCpu = EncoderCpuSeconds();
    if (!finished) {
        return Fail(error);
    }
    if (CaptureInterrupted()) {
        return Fail("interrupted; " + options.Output + " was not written");
    }
    const std::uint64_t wanted = endedAt > first ? endedAt - first : 0;
    if (timings.FramesWritten != wanted) {
        return Fail("only " + std::to_string(timings.FramesWritten) + " of " +
                    std::to_string(wanted) + " frames reached the encoder");
    }
    if (!video.Commit(error)) {
        return Fail(error);
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
    if (options.Samples < 0) {
        options.Samples = DefaultSamples(options.Width, options.Height);
    }
    // The output is taken from the working directory the recorder was started in, also
    // with --show-dir, and handed on as an absolute path.
    std::string output = options.Output;
    if (!output.empty() && output[0] != '/') {
        char* here = getcwd(nullptr, 0);
        if (here == nullptr) {
            return Fail(std::string("cannot tell the working directory: ") + std::strerror(errno));
        }
        output = std::string(here) + "/" + output;
        std::free(here);
    }
    if (!options.ShowDir.empty() && chdir(options.ShowDir.c_str()) != 0) {
        return Fail("cannot enter " + options.ShowDir + ": " + std::strerror(errno));
    }
    std::string problem = CheckShowData();
    if (problem.empty()) {
        problem = CheckShowFaces();
    }
    if (!problem.empty()) {
        return Fail(problem);
    }
    if (options.Stills.empty()) {
        return RecordVideo(options, output);
    }
    if (!options.ShowDir.empty()) {
        options.Output = output;
    }
    return RecordStills(options);
}
