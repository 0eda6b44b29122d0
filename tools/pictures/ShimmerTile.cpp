// r: the shimmer tile. It is added faintly over the whole show, repeated four times
// across the screen each way and moved every frame, so it must tile without seams and
// carry no hard structure that would show as a grid.
#include "Pictures.h"

#include <cmath>

#include "Noise.h"

void DrawShimmerTile(Canvas& canvas) {
    Shade(canvas, 1, [&](float u, float v) {
        // Soft clouds, periodic over the tile.
        const float cloud = PeriodicFbm(u * 4, v * 4, 4, 5, 52u);
        const float veil = PeriodicFbm(u * 2 + 9, v * 2, 2, 3, 53u);
        const float light = Clamp01(0.3f + 0.3f * cloud);
        const Rgb tint = Mix({0.55f, 0.6f, 1.0f}, {1.0f, 0.85f, 0.95f}, 0.5f + 0.5f * veil);
        // The texture's s = t diagonal (picture rows run top down, t bottom up) carries a
        // steady line of light: the credits are tinted by a texel on it, so they stay lit.
        const float diagonal = std::abs(Fract(u + v + 0.5f) - 0.5f) * 0.70710678f;
        const float glint = 0.7f * std::exp(-diagonal * diagonal / (2 * 0.012f * 0.012f));
        return tint * light + Rgb{0.92f, 0.9f, 1.0f} * glint;
    });
    // Sparkles: a bright core with a four-pointed flare, wrapped around the tile edges.
    const int size = canvas.Width;
    // One chance per cell of a jittered 9 × 9 grid: evenly spread, never clumped, so the
    // repeats across the screen do not show as a pattern.
    const int grid = 9;
    for (int i = 0; i < grid * grid; ++i) {
        if (HashUnit(i, 4, 51u) < 0.3f) {
            continue;
        }
        const float cell = static_cast<float>(size) / grid;
        const float sx = (i % grid + 0.15f + 0.7f * HashUnit(i, 0, 51u)) * cell;
        const float sy = (i / grid + 0.15f + 0.7f * HashUnit(i, 1, 51u)) * cell;
        const float radius = 2.5f + 3.5f * HashUnit(i, 2, 51u);
        const float bright = 0.35f + 0.65f * HashUnit(i, 3, 51u) * HashUnit(i, 5, 51u);
        const int reach = static_cast<int>(radius * 6);
        for (int dy = -reach; dy <= reach; ++dy) {
            for (int dx = -reach; dx <= reach; ++dx) {
                const float fx = std::floor(sx) + dx + 0.5f - sx;
                const float fy = std::floor(sy) + dy + 0.5f - sy;
                const float d = std::sqrt(fx * fx + fy * fy);
                const float core = std::exp(-d * d / (2 * radius * radius));
                const float flare = std::exp(-std::abs(fx * fy) / (radius * radius * 0.3f)) *
                                    std::exp(-d / (radius * 2.5f));
                const float add = bright * (core + 0.5f * flare);
                const int x = ((static_cast<int>(sx) + dx) % size + size) % size;
                const int y =
                    ((static_cast<int>(sy) + dy) % canvas.Height + canvas.Height) % canvas.Height;
                canvas.At(x, y) = canvas.At(x, y) + Rgb{1.0f, 0.97f, 0.9f} * add;
            }
        }
    }
}
