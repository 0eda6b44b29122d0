// Recording speed of larkspur-capture as a multiple of real time, split between
// drawing, reading pixels back and encoding. Run from the build folder (it reads data/):
//   bench/bench_capture [END_MS [FPS]]
// records show time 0 to END_MS (default 24000: every layer running for the last ten
// seconds) at FPS (default 60) into a temporary MP4 and prints the figures.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <GL/gl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "capture/Capture.h"

static double CpuSeconds(int who) {
    struct rusage usage = {};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char** argv) {
    CaptureOptions options;
    options.End = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 24000;
    options.Fps = argc > 2 ? std::atoi(argv[2]) : 60;
    if (options.End == 0 || options.End > ShowEndTime || options.Fps < 1 ||
        options.Fps > MaxCaptureFps) {
        std::fprintf(stderr, "usage: bench_capture [END_MS (1-84000) [FPS (1-1000)]]\n");
        return 2;
    }
    options.Quiet = true;
    options.Output = "/tmp/bench_capture-" + std::to_string(getpid()) + ".mp4";
    CaptureMeasureStages = true;

    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    const int status = RunCapture(options);
    const double ownCpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
    unlink(options.Output.c_str());
    if (status != 0) {
        return status;
    }
    const CaptureTimings& t = LastCaptureTimings;
    const double frames = static_cast<double>(t.FramesWritten);
    const double showSeconds = frames / options.Fps;
    const double speed = showSeconds / t.Wall;
    const double perFrame = 1000.0 / frames;
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);

    std::printf(
        "larkspur-capture: show time 0-%u ms, %.0f frames at %d fps, %dx%d, %s, %ld cores\n",
        options.End, frames, options.Fps, CaptureWidth, CaptureHeight,
        renderer != nullptr ? renderer : "?", cores);
    std::printf("  wall time            %7.2f s   -> %.2fx real time (full 84 s show: ~%.0f s)\n",
                t.Wall, speed, 84.0 / speed);
    std::printf("  drawing (to finish)  %7.2f s   %6.2f ms/frame\n", t.Render, t.Render * perFrame);
    std::printf("  pixel read-back      %7.2f s   %6.2f ms/frame (%s)\n", t.Readback,
                t.Readback * perFrame,
                FrameReaderUsesBuffers() ? "two pixel buffers" : "direct glReadPixels");
    std::printf("  waiting for encoder  %7.2f s   %6.2f ms/frame\n", t.EncoderWait,
                t.EncoderWait * perFrame);
    std::printf("  CPU: recorder %.2f s (%.2f ms/frame), ffmpeg %.2f s (%.2f ms/frame)\n", ownCpu,
                ownCpu * perFrame, t.EncoderCpu, t.EncoderCpu * perFrame);
    const double cpuBound = (ownCpu + t.EncoderCpu) / static_cast<double>(cores > 0 ? cores : 1);
    std::printf("  limit: %s\n", t.EncoderWait > t.Render + t.Readback
                                     ? "the encoder: drawing waits for ffmpeg to take frames"
                                     : "drawing: ffmpeg keeps up with the frames it is given");
    std::printf("  all CPU spread over the cores would take %.2f s of the %.2f s wall time%s\n",
                cpuBound, t.Wall,
                cpuBound > 0.8 * t.Wall ? " (CPU-bound: the cores are full)" : "");
    return 0;
}
