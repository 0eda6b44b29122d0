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

    const int status = RunCapture(options);
    unlink(options.Output.c_str());
    if (status != 0) {
        return status;
    }
    const CaptureTimings& t = LastCaptureTimings;
    // The main thread does the GL calls, llvmpipe's vertex work and binning, the
    // read-back and the copy into the encoder's queue; the other threads are llvmpipe's
    // rasterizers (fill) and the pipe writer.
    const double ownCpu = t.ProcessCpu;
    const double mainCpu = t.MainThreadCpu;
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
    const double wallMs = t.Wall * perFrame;
    auto share = [&](double seconds) { return t.Wall > 0 ? 100.0 * seconds / t.Wall : 0.0; };
    std::printf("  wall time            %7.2f s   %6.2f ms/frame -> %.2fx real time (full 84 s "
                "show: ~%.0f s)\n",
                t.Wall, wallMs, speed, 84.0 / speed);
    std::printf("  main thread, per frame (share of the wall time):\n");
    std::printf("    drawing to finish  %7.2f s   %6.2f ms/frame %3.0f %%\n", t.Render,
                t.Render * perFrame, share(t.Render));
    std::printf("    read-back          %7.2f s   %6.2f ms/frame %3.0f %% (%s%s)\n", t.Readback,
                t.Readback * perFrame, share(t.Readback),
                FrameReaderUsesBuffers() ? "two pixel buffers" : "direct glReadPixels",
                options.Samples > 1 ? ", with the resolve of the samples" : "");
    std::printf("    waiting for ffmpeg %7.2f s   %6.2f ms/frame %3.0f %%\n", t.EncoderWait,
                t.EncoderWait * perFrame, share(t.EncoderWait));
    const double otherCpu = ownCpu - mainCpu;
    const double allCpu = ownCpu + t.EncoderCpu;
    auto cpuShare = [&](double seconds) { return allCpu > 0 ? 100.0 * seconds / allCpu : 0.0; };
    std::printf("  CPU per frame (share of all CPU used):\n");
    std::printf("    recorder main thread (GL calls, vertex work, read-back) %6.2f ms %3.0f %%\n",
                mainCpu * perFrame, cpuShare(mainCpu));
    std::printf("    recorder other threads (llvmpipe fill, pipe writer)     %6.2f ms %3.0f %%\n",
                otherCpu * perFrame, cpuShare(otherCpu));
    std::printf("    ffmpeg (colour conversion, x264, muxing)                %6.2f ms %3.0f %%\n",
                t.EncoderCpu * perFrame, cpuShare(t.EncoderCpu));
    std::printf("  peak memory: recorder %.0f MB, ffmpeg %.0f MB\n",
                static_cast<double>(self.ru_maxrss) / 1024.0,
                static_cast<double>(encoder.ru_maxrss) / 1024.0);
    const double cpuBound = allCpu / static_cast<double>(cores > 0 ? cores : 1);
    std::printf("  all CPU spread over the %ld cores would take %.2f s of the %.2f s wall time%s\n",
                cores, cpuBound, t.Wall,
                cpuBound > 0.8 * t.Wall ? " (CPU-bound: the cores are full)"
                                        : " (the rest went to other processes or to waiting)");
    const char* limit = t.EncoderWait > t.Render + t.Readback
                            ? "ffmpeg: drawing waits for it to take frames"
                        : otherCpu > mainCpu ? "llvmpipe's fill on its rasterizer threads"
                                             : "the main thread (vertex work and read-back)";
    std::printf("  limit: %s\n", limit);
    return 0;
}
