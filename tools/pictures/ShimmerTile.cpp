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
        float light = 0.28f + 0.35f * cloud;
        // The texture's s = t diagonal (picture rows run top down, t bottom up) carries a
        // steady glow: the credits are tinted by a texel on it, so they stay lit.
        const float diagonal = std::abs(Fract(u + v + 0.5f) - 0.5f) * 0.70710678f;
        light += 0.55f * std::exp(-diagonal * diagonal / (2 * 0.03f * 0.03f));
        light = Clamp01(light);
        return Mix({0.55f, 0.6f, 1.0f}, {1.0f, 0.85f, 0.95f}, 0.5f + 0.5f * veil) * light;
    });
    // Sparkles: a bright core with a four-pointed flare, wrapped around the tile edges.
    const int size = canvas.Width;
    for (int i = 0; i < 70; ++i) {
        const float sx = HashUnit(i, 0, 51u) * size, sy = HashUnit(i, 1, 51u) * size;
        const float radius = 3.0f + 5.0f * HashUnit(i, 2, 51u);
        const float bright = 0.5f + 0.5f * HashUnit(i, 3, 51u);
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
