// Recording speed of larkspur-capture as a multiple of real time, split between
// drawing, reading pixels back and encoding. Run from the build folder (it reads data/):
//   bench/bench_capture [END_MS [FPS [WxH [SAMPLES]]]]
// records show time 0 to END_MS (default 24000: every layer running for the last ten
// seconds) at FPS (default 60), WxH (default 640x480) and SAMPLES (default: as the
// recorder chooses) into a temporary MP4 and prints the figures, with the recorder's
// peak memory and the machine's load, which the figures depend on.
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
    if (argc > 3 && std::sscanf(argv[3], "%dx%d", &options.Width, &options.Height) != 2) {
        options.Width = 0;
    }
    options.Samples = argc > 4 ? std::atoi(argv[4]) : 0;
    if (options.Samples == 0) {
        options.Samples = options.Width == CaptureWidth && options.Height == CaptureHeight ? 1 : 4;
    }
    if (options.End == 0 || options.End > ShowEndTime || options.Fps < 1 ||
        options.Fps > MaxCaptureFps || options.Width < 2 || options.Height < 2 ||
        options.Width > MaxCaptureWidth || options.Height > MaxCaptureHeight ||
        options.Width % 2 != 0 || options.Height % 2 != 0) {
        std::fprintf(stderr, "usage: bench_capture [END_MS (1-84000) [FPS (1-1000) [WxH (even, "
                             "up to 3840x2160) [SAMPLES (1, 2, 4, 8)]]]]\n");
        return 2;
    }
    double load[3] = {};
    getloadavg(load, 3);
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
    struct rusage self = {};
    getrusage(RUSAGE_SELF, &self);
    struct rusage encoder = {};
    getrusage(RUSAGE_CHILDREN, &encoder);

    std::printf(
        "larkspur-capture: show time 0-%u ms, %.0f frames at %d fps, %dx%d, %d sample(s), %s, "
        "%ld cores, load average %.2f at the start\n",
        options.End, frames, options.Fps, options.Width, options.Height, options.Samples,
        renderer != nullptr ? renderer : "?", cores, load[0]);
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
    std::printf("  peak memory: recorder %.0f MB, ffmpeg %.0f MB\n",
                static_cast<double>(self.ru_maxrss) / 1024.0,
                static_cast<double>(encoder.ru_maxrss) / 1024.0);
    const double cpuBound = (ownCpu + t.EncoderCpu) / static_cast<double>(cores > 0 ? cores : 1);
    std::printf("  limit: %s\n", t.EncoderWait > t.Render + t.Readback
                                     ? "the encoder: drawing waits for ffmpeg to take frames"
                                     : "drawing: ffmpeg keeps up with the frames it is given");
    std::printf("  all CPU spread over the cores would take %.2f s of the %.2f s wall time%s\n",
                cpuBound, t.Wall,
                cpuBound > 0.8 * t.Wall ? " (CPU-bound: the cores are full)" : "");
    return 0;
}
