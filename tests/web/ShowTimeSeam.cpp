// The test page's seam: with Module.larkspurStillTimes set, the show time is scripted as
// the recorder scripts it (frame n at n × 1000 ÷ 60 ms, the frames before each still
// moved past undrawn), and each still's pixels are kept in Module.larkspurStills[ms] for
// the test to compare with the Linux recorder's. Without it the show runs as shipped.
#include <emscripten/emscripten.h>

#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "app/RunShow.h"
#include "audio/MusicPlayer.h"
#include "show/Layers.h"
#include "show/Timeline.h"

namespace {

constexpr std::uint64_t Fps = 60;

std::vector<std::uint32_t> Stills;
std::size_t NextStill = 0;
std::uint64_t Frame = 0;
std::uint32_t Time = 0;
bool Planned = false;

EM_JS(int, seam_still_count, (),
      { return Module.larkspurStillTimes ? Module.larkspurStillTimes.length : 0; });
EM_JS(int, seam_still_time, (int i), { return Module.larkspurStillTimes[i]; });
EM_JS(int, seam_canvas_width, (), { return Module.canvas.width; });
EM_JS(int, seam_canvas_height, (), { return Module.canvas.height; });
EM_JS(void, seam_keep, (int ms, const std::uint8_t* pixels, int width, int height), {
    Module.larkspurStills = Module.larkspurStills || {};
    Module.larkspurStills[ms] = {
        width : width,
        height : height,
        pixels : HEAPU8.slice(pixels, pixels + width * height * 4),
    };
});

std::uint32_t FrameTime(std::uint64_t frame) {
    return static_cast<std::uint32_t>(frame * 1000u / Fps);
}

void Started() {
    if (!Planned || NextStill >= Stills.size()) {
        return;
    }
    const std::uint64_t target = std::uint64_t{Stills[NextStill]} * Fps / 1000u;
    while (Frame < target) {
        SetShowState(StateAfterFrame(CurrentShowState(), FrameTime(Frame)));
        ++Frame;
    }
    Time = FrameTime(Frame);
}

void Shown() {
    if (!Planned || NextStill >= Stills.size()) {
        return;
    }
    // The canvas keeps its drawing buffer on the test page, so the frame is still there.
    const int width = seam_canvas_width();
    const int height = seam_canvas_height();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    seam_keep(static_cast<int>(Stills[NextStill]), pixels.data(), width, height);
    ++NextStill;
    ++Frame;
}

struct Install {
    Install() {
        SetFrameObserver(FrameObserver{[] {
                                           if (!Planned && Stills.empty()) {
                                               for (int i = 0, n = seam_still_count(); i < n; ++i) {
                                                   Stills.push_back(static_cast<std::uint32_t>(
                                                       seam_still_time(i)));
                                               }
                                               Planned = !Stills.empty();
                                               if (Planned) {
                                                   SetShowTimeSource([] { return Time; });
                                               }
                                           }
                                           Started();
                                       },
                                       Shown});
    }
} Installed;

} // namespace
