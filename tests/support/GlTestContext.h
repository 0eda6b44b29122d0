// A real OpenGL compatibility context on a hidden 640 × 480 SDL window, for tests and
// benchmarks that draw and read pixels back (run with SDL_VIDEODRIVER=offscreen).
#pragma once

#include <cstdint>
#include <vector>

struct SDL_Window;

class GlTestContext {
  public:
    explicit GlTestContext(int width = 640, int height = 480);
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    bool Ok() const { return Context != nullptr; }
    int Width() const { return W; }
    int Height() const { return H; }

    // The back buffer as RGBA bytes, bottom row first.
    std::vector<std::uint8_t> ReadPixels() const;
    // One pixel of the back buffer as 0xRRGGBB; (0, 0) is the bottom-left corner.
    std::uint32_t PixelAt(int x, int y) const;
    void Swap();

  private:
    SDL_Window* Window = nullptr;
    void* Context = nullptr;
    int W;
    int H;
};
