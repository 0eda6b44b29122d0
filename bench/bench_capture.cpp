// larkspur-capture's speed and edge quality, side by side, for each way of smoothing edges.
// Run from the build folder (it reads data/):
//   bench/bench_capture [--size WxH] [--fps N] [--start MS] [--end MS] [--modes 1,4,edges]
//                       [--rounds N] [--times T1,T2,…] [--no-quality] [--pictures DIR]
// Speed: each mode records show time START to END (default 12000 to 24000, every layer on
// screen for most of it) into a temporary MP4, the modes taking turns ROUNDS times (2) so
// that the machine's changing load falls on all alike; printed per round, with the CPU
// each part took and what the figures say limits it. Quality: at each of TIMES (12600,
// 16000, 30000, 50000, 70000 ms) the frame is drawn at twice the size with 4 samples and
// every 2 x 2 block averaged (16 samples a pixel): the reference. Each mode's frame is
// compared with it: the mean absolute difference in levels (0-255) over the picture, over
// the pixels within 2 of a glyph or text edge, and over the rest. With --pictures the
// frames compared are written there as PNG.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "capture/Capture.h"
#include "capture/GlEntries.h"
#include "show/Layers.h"
#include "show/RenderFrame.h"

namespace {

struct Settings {
    int Width = 1920;
    int Height = 1080;
    int Fps = 60;
    std::uint32_t Start = 12000;
    std::uint32_t End = 24000;
    std::vector<int> Modes;
    int Rounds = 2;
    std::vector<std::uint32_t> Times = {12600, 16000, 30000, 50000, 70000};
    bool Quality = true;
    std::string Pictures;
};

std::string ModeName(int samples) {
    return samples == SamplesAtEdges ? "edges" : std::to_string(samples);
}

bool ParseList(const char* text, std::vector<std::string>& items) {
    items.clear();
    std::string s = text;
    std::size_t begin = 0;
    while (true) {
        const std::size_t comma = s.find(',', begin);
        items.push_back(s.substr(begin, comma == std::string::npos ? comma : comma - begin));
        if (items.back().empty()) {
            return false;
        }
        if (comma == std::string::npos) {
            return true;
        }
        begin = comma + 1;
    }
}

bool ParseSettings(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        std::vector<std::string> items;
        if (a == "--no-quality") {
            s.Quality = false;
            continue;
        }
        if (v == nullptr) {
            return false;
        }
        ++i;
        if (a == "--size") {
            if (std::sscanf(v, "%dx%d", &s.Width, &s.Height) != 2) {
                return false;
            }
        } else if (a == "--fps") {
            s.Fps = std::atoi(v);
        } else if (a == "--start") {
            s.Start = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
        } else if (a == "--end") {
            s.End = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
        } else if (a == "--rounds") {
            s.Rounds = std::atoi(v);
        } else if (a == "--pictures") {
            s.Pictures = v;
        } else if (a == "--modes" && ParseList(v, items)) {
            s.Modes.clear();
            for (const std::string& m : items) {
                const int n = m == "edges" ? SamplesAtEdges : std::atoi(m.c_str());
                if (n != SamplesAtEdges && n != 1 && n != 2 && n != 4 && n != 8) {
                    return false;
                }
                s.Modes.push_back(n);
            }
        } else if (a == "--times" && ParseList(v, items)) {
            s.Times.clear();
            for (const std::string& t : items) {
                s.Times.push_back(static_cast<std::uint32_t>(std::strtoul(t.c_str(), nullptr, 10)));
            }
        } else {
            return false;
        }
    }
    if (s.Modes.empty()) {
        const bool window = s.Width == CaptureWidth && s.Height == CaptureHeight;
        s.Modes = window ? std::vector<int>{1} : std::vector<int>{1, 4, SamplesAtEdges};
    }
    return s.Fps >= 1 && s.Fps <= MaxCaptureFps && s.Start < s.End && s.End <= ShowEndTime &&
           s.Width >= 2 && s.Height >= 2 && s.Width <= MaxCaptureWidth &&
           s.Height <= MaxCaptureHeight && s.Width % 2 == 0 && s.Height % 2 == 0 && s.Rounds >= 1;
}

double LoadAverage() {
    double load[3] = {};
    getloadavg(load, 3);
    return load[0];
}

// --- Speed ---------------------------------------------------------------------------

struct SpeedRun {
    double Speed = 0;                                          // show seconds per wall second
    double MainMs = 0, OtherMs = 0, EncoderMs = 0, WallMs = 0; // per frame
    double EncoderWaitShare = 0;
    double SampledShare = -1;
    double Load = 0;
    long FileBytes = 0;
};

bool RunSpeed(const Settings& s, int samples, SpeedRun& run) {
    CaptureOptions options;
    options.Fps = s.Fps;
    options.Start = s.Start;
    options.End = s.End;
    options.Width = s.Width;
    options.Height = s.Height;
    options.Samples = samples;
    options.Quiet = true;
    options.Output = "/tmp/bench_capture-" + std::to_string(getpid()) + ".mp4";
    EdgeSmoothingDone = {};
    run.Load = LoadAverage();
    // Self and children so far: the encoder's CPU is taken from the run's own count.
    const int status = RunCapture(options);
    struct stat info = {};
    run.FileBytes = stat(options.Output.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
    unlink(options.Output.c_str());
    if (status != 0) {
        return false;
    }
    const CaptureTimings& t = LastCaptureTimings;
    const double frames = static_cast<double>(t.FramesWritten);
    run.Speed = frames / s.Fps / t.Wall;
    run.WallMs = 1000.0 * t.Wall / frames;
    run.MainMs = 1000.0 * t.MainThreadCpu / frames;
    run.OtherMs = 1000.0 * (t.ProcessCpu - t.MainThreadCpu) / frames;
    run.EncoderMs = 1000.0 * t.EncoderCpu / frames;
    run.EncoderWaitShare = t.EncoderWait / t.Wall;
    const EdgeSmoothingCounts& e = EdgeSmoothingDone;
    if (e.PicturePixels > 0) {
        run.SampledShare = static_cast<double>(e.SampledPixels) / e.PicturePixels;
    }
    return true;
}

// --- Quality -------------------------------------------------------------------------

// Frame at `time` in the current target, drawn from the state its frame starts with; BGRA,
// top row first.
std::vector<std::uint8_t> FrameAt(const ShowState& state, std::uint32_t time) {
    SetShowState(state);
    RenderCaptureFrame(time);
    std::vector<std::uint8_t> pixels(FrameBytes());
    ReadFrameNow(pixels.data());
    return pixels;
}

// Each 2 x 2 block averaged, rounded to nearest.
std::vector<std::uint8_t> Halved(const std::vector<std::uint8_t>& big, int width, int height) {
    std::vector<std::uint8_t> small(static_cast<std::size_t>(width) * height * 4);
    const std::size_t row = static_cast<std::size_t>(width) * 2 * 4;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t a = static_cast<std::size_t>(y) * 2 * row + x * 8;
            for (int c = 0; c < 4; ++c) {
                const int sum =
                    big[a + c] + big[a + 4 + c] + big[a + row + c] + big[a + row + 4 + c];
                small[(static_cast<std::size_t>(y) * width + x) * 4 + c] =
                    static_cast<std::uint8_t>((sum + 2) / 4);
            }
        }
    }
    return small;
}

// A program that paints whatever it draws white, to see where the glyphs and text are.
GLuint WhiteProgram() {
    PFNGLCREATESHADERPROC createShader = nullptr;
    PFNGLSHADERSOURCEPROC shaderSource = nullptr;
    PFNGLCOMPILESHADERPROC compileShader = nullptr;
    PFNGLCREATEPROGRAMPROC createProgram = nullptr;
    PFNGLATTACHSHADERPROC attachShader = nullptr;
    PFNGLLINKPROGRAMPROC linkProgram = nullptr;
    if (!LoadGlEntry(createShader, "glCreateShader") ||
        !LoadGlEntry(shaderSource, "glShaderSource") ||
        !LoadGlEntry(compileShader, "glCompileShader") ||
        !LoadGlEntry(createProgram, "glCreateProgram") ||
        !LoadGlEntry(attachShader, "glAttachShader") ||
        !LoadGlEntry(linkProgram, "glLinkProgram")) {
        return 0;
    }
    const char* source = "void main() { gl_FragColor = vec4(1.0); }";
    const GLuint shader = createShader(GL_FRAGMENT_SHADER);
    shaderSource(shader, 1, &source, nullptr);
    compileShader(shader);
    const GLuint program = createProgram();
    attachShader(program, shader);
    linkProgram(program);
    return program;
}

// Per pixel of the frame's size: 1 within 2 pixels of an edge of what the glyphs and the
// text cover, found from their cover drawn at twice the size.
std::vector<std::uint8_t> NearEdges(const ShowState& state, std::uint32_t time, int width,
                                    int height) {
    static const GLuint program = WhiteProgram();
    PFNGLUSEPROGRAMPROC useProgram = nullptr;
    std::vector<std::uint8_t> near(static_cast<std::size_t>(width) * height, 0);
    if (program == 0 || !LoadGlEntry(useProgram, "glUseProgram")) {
        return near;
    }
    std::string error;
    OpenFrameTarget(width * 2, height * 2, 1, error);
    SetShowState(state);
    RenderCaptureFrame(time); // sets the frame's time for the layers below
    SetShowState(state);
    ClearFrame();
    useProgram(program);
    for (const ShowLayer& layer : ShowLayers) {
        if (!layer.SingleQuad) {
            glLoadIdentity();
            layer.Draw();
        }
    }
    useProgram(0);
    std::vector<std::uint8_t> big(FrameBytes());
    ReadFrameNow(big.data());
    const std::vector<std::uint8_t> cover = Halved(big, width, height);
    auto at = [&](int x, int y) {
        return cover[(static_cast<std::size_t>(y) * width + x) * 4 + 1];
    };
    std::vector<std::uint8_t> edge(near.size(), 0);
    for (int y = 1; y + 1 < height; ++y) {
        for (int x = 1; x + 1 < width; ++x) {
            const int c = at(x, y);
            edge[static_cast<std::size_t>(y) * width + x] =
                (c != 0 && c != 255) || c != at(x - 1, y) || c != at(x + 1, y) ||
                c != at(x, y - 1) || c != at(x, y + 1);
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (edge[static_cast<std::size_t>(y) * width + x] == 0) {
                continue;
            }
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    const int xx = x + dx, yy = y + dy;
                    if (xx >= 0 && yy >= 0 && xx < width && yy < height) {
                        near[static_cast<std::size_t>(yy) * width + xx] = 1;
                    }
                }
            }
        }
    }
    return near;
}

struct Error {
    double Sum[3] = {}; // picture, near edges, away from them
    double Pixels[3] = {};
    double Mean(int i) const { return Pixels[i] > 0 ? Sum[i] / Pixels[i] : 0; }
};

void AddError(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b,
              const std::vector<std::uint8_t>& near, int width, int height, Error& e) {
    const PictureRect r = PictureRectFor(width, height);
    for (int y = height - r.Y - r.Height; y < height - r.Y; ++y) {
        for (int x = r.X; x < r.X + r.Width; ++x) {
            const std::size_t p = static_cast<std::size_t>(y) * width + x;
            double d = 0;
            for (int c = 0; c < 3; ++c) {
                d += std::abs(a[p * 4 + c] - b[p * 4 + c]);
            }
            d /= 3;
            const int where = near[p] != 0 ? 1 : 2;
            e.Sum[0] += d;
            e.Pixels[0] += 1;
            e.Sum[where] += d;
            e.Pixels[where] += 1;
        }
    }
}

void WritePicture(const Settings& s, const std::string& name, const std::vector<std::uint8_t>& p,
                  int width, int height) {
    if (s.Pictures.empty()) {
        return;
    }
    std::string error;
    bool made = false;
    const int folder = OpenOutputFolder(s.Pictures, true, made, error);
    if (folder < 0 || !WritePngFile(folder, name + ".png", s.Pictures + "/" + name + ".png",
                                    p.data(), width, height, error)) {
        std::fprintf(stderr, "bench_capture: %s\n", error.c_str());
    }
    if (folder >= 0) {
        close(folder);
    }
}

bool MeasureQuality(const Settings& s, std::vector<Error>& errors) {
    const int w = s.Width, h = s.Height;
    std::string error;
    if (!OpenCaptureScene(error, w, h, s.Modes[0])) {
        std::fprintf(stderr, "bench_capture: %s\n", error.c_str());
        return false;
    }
    errors.assign(s.Modes.size(), Error{});
    for (std::uint32_t t : s.Times) {
        // The state the frame on screen at t starts from, as a recording reaches it.
        const std::uint64_t frame = FrameOnScreenAt(t, s.Fps);
        SetShowState({});
        for (std::uint64_t n = 0; n < frame; ++n) {
            SkipCaptureFrame(FrameTime(n, s.Fps));
        }
        const ShowState state = CurrentShowState();
        const std::uint32_t time = FrameTime(frame, s.Fps);
        OpenFrameTarget(w * 2, h * 2, 4, error);
        const std::vector<std::uint8_t> reference = Halved(FrameAt(state, time), w, h);
        const std::vector<std::uint8_t> near = NearEdges(state, time, w, h);
        const std::string at = std::to_string(t);
        WritePicture(s, at + "-reference", reference, w, h);
        for (std::size_t m = 0; m < s.Modes.size(); ++m) {
            if (!OpenFrameTarget(w, h, s.Modes[m], error)) {
                std::fprintf(stderr, "bench_capture: %s\n", error.c_str());
                return false;
            }
            const std::vector<std::uint8_t> frameOfMode = FrameAt(state, time);
            AddError(reference, frameOfMode, near, w, h, errors[m]);
            WritePicture(s, at + "-" + ModeName(s.Modes[m]), frameOfMode, w, h);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    if (!ParseSettings(argc, argv, s)) {
        std::fprintf(stderr, "usage: bench_capture [--size WxH] [--fps N] [--start MS] [--end MS] "
                             "[--modes 1,4,edges] [--rounds N] [--times T1,T2,...] [--no-quality] "
                             "[--pictures DIR]\n");
        return 2;
    }
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("larkspur-capture at %dx%d, %d fps, show time %u-%u ms; %ld cores, load %.2f\n",
                s.Width, s.Height, s.Fps, s.Start, s.End, cores, LoadAverage());

    // Speed, the modes in turn.
    std::vector<std::vector<SpeedRun>> runs(s.Modes.size());
    std::printf("\nspeed (x real time), CPU per frame in ms (recorder main thread + its other "
                "threads + ffmpeg), load at the start:\n");
    for (int round = 0; round < s.Rounds; ++round) {
        for (std::size_t m = 0; m < s.Modes.size(); ++m) {
            SpeedRun run;
            if (!RunSpeed(s, s.Modes[m], run)) {
                return 1;
            }
            std::printf("  round %d  samples %-5s %5.2fx  %6.1f ms wall  cpu %5.1f + %5.1f + %5.1f"
                        " = %5.1f  load %.1f  file %.1f MB",
                        round + 1, ModeName(s.Modes[m]).c_str(), run.Speed, run.WallMs, run.MainMs,
                        run.OtherMs, run.EncoderMs, run.MainMs + run.OtherMs + run.EncoderMs,
                        run.Load, static_cast<double>(run.FileBytes) / 1e6);
            if (run.SampledShare >= 0) {
                std::printf("  4 samples on %.0f %% of the picture", 100 * run.SampledShare);
            }
            std::printf("\n");
            std::fflush(stdout);
            runs[m].push_back(run);
        }
    }
    struct rusage self = {}, children = {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);

    std::vector<Error> errors;
    const bool quality = s.Quality && s.Width * 2 <= MaxCaptureWidth &&
                         s.Height * 2 <= MaxCaptureHeight && MeasureQuality(s, errors);

    std::printf("\n%-8s %9s %12s %12s", "samples", "speed", "CPU/frame", "of 1 sample");
    if (quality) {
        std::printf("   %s", "mean abs. difference to the 16-sample reference: picture / "
                             "near edges / elsewhere");
    }
    std::printf("\n");
    double baseCpu = 0;
    for (std::size_t m = 0; m < s.Modes.size(); ++m) {
        double speed = 0, cpu = 0;
        for (const SpeedRun& r : runs[m]) {
            speed += r.Speed / runs[m].size();
            cpu += (r.MainMs + r.OtherMs + r.EncoderMs) / runs[m].size();
        }
        if (s.Modes[m] == 1) {
            baseCpu = cpu;
        }
        std::printf("%-8s %8.2fx %9.1f ms", ModeName(s.Modes[m]).c_str(), speed, cpu);
        if (baseCpu > 0) {
            std::printf(" %11.2fx", cpu / baseCpu);
        } else {
            std::printf(" %12s", "");
        }
        if (quality) {
            std::printf("   %6.3f / %6.3f / %6.3f", errors[m].Mean(0), errors[m].Mean(1),
                        errors[m].Mean(2));
        }
        std::printf("\n");
    }
    std::printf("peak memory over all runs: recorder %.0f MB, ffmpeg %.0f MB\n",
                static_cast<double>(self.ru_maxrss) / 1024.0,
                static_cast<double>(children.ru_maxrss) / 1024.0);

    // What limits each figure.
    std::printf("\nwhat limits the figures:\n");
    for (std::size_t m = 0; m < s.Modes.size(); ++m) {
        const SpeedRun& r = runs[m].back();
        const double cpu = r.MainMs + r.OtherMs + r.EncoderMs;
        const double busy = cpu / (static_cast<double>(cores > 0 ? cores : 1) * r.WallMs);
        const char* part = r.OtherMs >= r.EncoderMs && r.OtherMs >= r.MainMs
                               ? "llvmpipe's fill (the recorder's other threads)"
                           : r.EncoderMs >= r.MainMs ? "x264 in ffmpeg"
                                                     : "the recorder's main thread";
        std::printf("  speed, samples %s: the cores were %.0f %% busy with it (%s); the largest "
                    "share of CPU is %s%s\n",
                    ModeName(s.Modes[m]).c_str(), 100 * busy,
                    busy > 0.85 ? "CPU-bound" : "the rest went to other processes or waiting", part,
                    r.EncoderWaitShare > 0.2 ? "; drawing waited for the encoder" : "");
    }
    if (quality) {
        std::printf("  quality: away from edges every mode differs alike from the reference "
                    "(one texture sample at the pixel centre against 16 spread over it); near "
                    "edges the difference is the share of each pixel the glyphs cover, counted "
                    "from 1 or 4 points\n");
    }
    return 0;
}
