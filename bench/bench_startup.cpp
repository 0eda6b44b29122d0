// Start-up cost of the scene: the eleven pictures (reading, then mip-mapped textures),
// each outline font (255 glyph lists apiece) and the whole of InitScene.
//
// Run from the build folder: it uses data/ there when all eleven pictures are present,
// and otherwise makes eleven 512 × 512 JPEGs in a temporary folder. The first pass is a
// cold start as the show has it (fontconfig and FreeType not yet loaded); the later
// passes, each in a fresh GL context, show the steady cost.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <time.h>
#include <unistd.h>

#include "app/Scene.h"
#include "app/ShowWindow.h"
#include "show/OutlineFonts.h"
#include "tests/support/GlTestContext.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

static double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of this thread: on a shared, loaded machine it tells the work done
// apart from the waiting.
static double ThreadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The pictures of the slots; the song follows them in the list.
static const char* const* const PictureNames = ShowDataFiles;

static bool AllPicturesPresent() {
    return std::all_of(PictureNames, PictureNames + TextureSlotCount,
                       [](const char* name) { return fs::exists(name); });
}

// Eleven pictures of the show's kind in a fresh temporary folder, made current.
static fs::path MadeFolder;

static bool MakePictures() {
    char pattern[] = "/tmp/larkspur-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return false;
    }
    MadeFolder = pattern;
    fs::create_directories(fs::path(pattern) / "data");
    fs::current_path(pattern);
    for (int i = 0; i < TextureSlotCount; ++i) {
        std::string command = "convert -size 512x512 -seed " + std::to_string(i + 1) +
                              " plasma:fractal -quality 90 " + PictureNames[i];
        if (std::system(command.c_str()) != 0) {
            return false;
        }
    }
    return true;
}

static void FreeTextures() {
    for (TTextureImage*& image : Textures) {
        delete image;
        image = nullptr;
    }
}

struct Split {
    double Pictures = 0.0;
    double Mipmaps = 0.0;
    double TextFont = 0.0;
    double SymbolFont = 0.0;
    double Cpu = 0.0; // processor time of all four
};

// InitScene's steps one by one, timed.
static Split TimeSteps() {
    Split split;
    double cpuStart = ThreadMilliseconds();
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        Clock::time_point start = Clock::now();
        Textures[slot] = new TTextureImage(PictureNames[slot]);
        split.Pictures += MillisecondsSince(start);
        start = Clock::now();
        Textures[slot]->BuildTexture();
        glFinish();
        split.Mipmaps += MillisecondsSince(start);
    }
    Clock::time_point start = Clock::now();
    BuildTextFont(WindowDC);
    glFinish();
    split.TextFont = MillisecondsSince(start);
    start = Clock::now();
    BuildSymbolFont(WindowDC);
    glFinish();
    split.SymbolFont = MillisecondsSince(start);
    split.Cpu = ThreadMilliseconds() - cpuStart;
    return split;
}

int main() {
    if (!AllPicturesPresent() && !MakePictures()) {
        std::fprintf(stderr, "could not make the pictures (ImageMagick convert)\n");
        return 1;
    }
    std::printf("pictures from %s/data\n", fs::current_path().c_str());

    Split cold;
    {
        GlTestContext gl;
        if (!gl.Ok()) {
            std::fprintf(stderr, "no GL context (set SDL_VIDEODRIVER=offscreen)\n");
            return 1;
        }
        cold = TimeSteps();
        FreeTextures();
    }
    std::printf("cold start, step by step (ms):\n");
    std::printf("  pictures read  %8.2f\n  mipmaps built  %8.2f\n", cold.Pictures, cold.Mipmaps);
    std::printf("  text font      %8.2f  (255 lists)\n", cold.TextFont);
    std::printf("  symbol font    %8.2f  (255 lists)\n", cold.SymbolFont);
    std::printf("  sum            %8.2f  (processor time %.2f)\n",
                cold.Pictures + cold.Mipmaps + cold.TextFont + cold.SymbolFont, cold.Cpu);

    constexpr int Runs = 5;
    std::vector<double> whole;
    std::vector<double> wholeCpu;
    std::vector<Split> warm;
    for (int run = 0; run < Runs; ++run) {
        GlTestContext gl;
        Clock::time_point start = Clock::now();
        double cpuStart = ThreadMilliseconds();
        InitScene(gl.Width(), gl.Height());
        glFinish();
        whole.push_back(MillisecondsSince(start));
        wholeCpu.push_back(ThreadMilliseconds() - cpuStart);
        FreeTextures();
    }
    for (int run = 0; run < Runs; ++run) {
        GlTestContext gl;
        warm.push_back(TimeSteps());
        FreeTextures();
    }
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    auto medianOf = [&](double Split::*field) {
        std::vector<double> values;
        for (const Split& s : warm) {
            values.push_back(s.*field);
        }
        return median(values);
    };
    std::printf("warm, median of %d runs, each in a fresh GL context (ms):\n", Runs);
    std::printf("  pictures read  %8.2f\n  mipmaps built  %8.2f\n", medianOf(&Split::Pictures),
                medianOf(&Split::Mipmaps));
    std::printf("  text font      %8.2f\n  symbol font    %8.2f\n", medianOf(&Split::TextFont),
                medianOf(&Split::SymbolFont));
    std::printf("  InitScene      %8.2f  (whole; processor time %.2f)\n", median(whole),
                median(wholeCpu));
    if (!MadeFolder.empty()) {
        fs::current_path("/");
        fs::remove_all(MadeFolder);
    }
    return 0;
}
