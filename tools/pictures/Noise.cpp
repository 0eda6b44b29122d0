// Lattice hashing and periodic gradient noise.
#include "Noise.h"

#include <cmath>

std::uint32_t HashCell(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x9E3779B9u;
    h ^= static_cast<std::uint32_t>(x) * 0x85EBCA6Bu;
    h = (h ^ (h >> 15)) * 0x2C1B3C6Du;
    h ^= static_cast<std::uint32_t>(y) * 0xC2B2AE35u;
    h = (h ^ (h >> 12)) * 0x297A2D39u;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

float HashUnit(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    return static_cast<float>(HashCell(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

static int Wrap(int i, int period) {
    int m = i % period;
    return m < 0 ? m + period : m;
}

// Sixteen unit gradients, evenly spread around the circle.
static const float GradientX[16] = {1.0f,     0.9239f,  0.7071f, 0.3827f,  0.0f,     -0.3827f,
                                    -0.7071f, -0.9239f, -1.0f,   -0.9239f, -0.7071f, -0.3827f,
                                    0.0f,     0.3827f,  0.7071f, 0.9239f};

static float Gradient(int wx, int wy, std::uint32_t seed, float dx, float dy) {
    const std::uint32_t k = HashCell(wx, wy, seed) >> 28;
    return GradientX[k] * dx + GradientX[(k + 12) & 15] * dy;
}

float PeriodicNoise(float x, float y, int period, std::uint32_t seed) {
    if (period < 1) {
        period = 1;
    }
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float dx = x - fx, dy = y - fy;
    const float sx = dx * dx * dx * (dx * (dx * 6 - 15) + 10);
    const float sy = dy * dy * dy * (dy * (dy * 6 - 15) + 10);
    // Lattice corners, wrapped once.
    const int x0 = Wrap(ix, period), y0 = Wrap(iy, period);
    const int x1 = x0 + 1 == period ? 0 : x0 + 1, y1 = y0 + 1 == period ? 0 : y0 + 1;
    const float n00 = Gradient(x0, y0, seed, dx, dy);
    const float n10 = Gradient(x1, y0, seed, dx - 1, dy);
    const float n01 = Gradient(x0, y1, seed, dx, dy - 1);
    const float n11 = Gradient(x1, y1, seed, dx - 1, dy - 1);
    const float a = n00 + (n10 - n00) * sx;
    const float b = n01 + (n11 - n01) * sx;
    return 1.41421356f * (a + (b - a) * sy);
}

float PeriodicFbm(float x, float y, int period, int octaves, std::uint32_t seed) {
    float sum = 0, amplitude = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * PeriodicNoise(x, y, period, seed + 101u * o);
        norm += amplitude;
        x *= 2;
        y *= 2;
        period *= 2;
        amplitude *= 0.5f;
    }
    return norm > 0 ? sum / norm : 0;
}
