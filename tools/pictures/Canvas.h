// The picture buffer the generators paint into, colour helpers, and the JPEG writer.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

struct Rgb {
    float R = 0, G = 0, B = 0;
};

inline Rgb operator+(Rgb a, Rgb b) {
    return {a.R + b.R, a.G + b.G, a.B + b.B};
}
inline Rgb operator-(Rgb a, Rgb b) {
    return {a.R - b.R, a.G - b.G, a.B - b.B};
}
inline Rgb operator*(Rgb a, float k) {
    return {a.R * k, a.G * k, a.B * k};
}
inline Rgb operator*(Rgb a, Rgb b) {
    return {a.R * b.R, a.G * b.G, a.B * b.B};
}
inline Rgb Mix(Rgb a, Rgb b, float t) {
    return a + (b - a) * t;
}
inline float Clamp01(float x) {
    return std::clamp(x, 0.0f, 1.0f);
}
inline float Fract(float x) {
    return x - std::floor(x);
}
inline float SmoothStep(float e0, float e1, float x) {
    float t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}
inline float Luminance(Rgb c) {
    return 0.299f * c.R + 0.587f * c.G + 0.114f * c.B;
}

// a + b·cos(2π(c·t + d)) per channel: smooth, endlessly cycling colour ramps.
Rgb CosinePalette(float t, Rgb a, Rgb b, Rgb c, Rgb d);
// Hue in turns, saturation and value in 0..1.
Rgb Hsv(float h, float s, float v);
// Lifts the darks and saturates a colour towards a wanted brightness floor.
Rgb LiftShadows(Rgb c, float floor);

struct Canvas {
    int Width = 0, Height = 0;
    std::vector<Rgb> Pixels; // row 0 is the top row, as a viewer sees it

    Canvas(int width, int height)
        : Width(width), Height(height), Pixels(static_cast<size_t>(width) * height) {}
    Rgb& At(int x, int y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
    const Rgb& At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

// Fills the canvas with f(u, v), u and v running over 0..1 across the picture (v down),
// averaging n × n samples per pixel.
template <class F> void Shade(Canvas& canvas, int n, F&& f) {
    const float inv = 1.0f / static_cast<float>(n);
    const float norm = 1.0f / static_cast<float>(n * n);
    for (int y = 0; y < canvas.Height; ++y) {
        for (int x = 0; x < canvas.Width; ++x) {
            Rgb sum;
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    float u = (x + (i + 0.5f) * inv) / canvas.Width;
                    float v = (y + (j + 0.5f) * inv) / canvas.Height;
                    sum = sum + f(u, v);
                }
            }
            canvas.At(x, y) = sum * norm;
        }
    }
}

// Like Shade, but takes one sample per pixel first and n × n only where a pixel differs
// from a neighbour by more than `threshold`: smooth areas cost one sample, edges get
// antialiased.
template <class F> void ShadeAdaptive(Canvas& canvas, int n, float threshold, F&& f) {
    Shade(canvas, 1, f);
    const Canvas first = canvas;
    const float inv = 1.0f / static_cast<float>(n);
    const float norm = 1.0f / static_cast<float>(n * n);
    auto differs = [&](const Rgb& a, int x, int y) {
        if (x < 0 || y < 0 || x >= first.Width || y >= first.Height) {
            return false;
        }
        const Rgb& b = first.At(x, y);
        return std::abs(a.R - b.R) + std::abs(a.G - b.G) + std::abs(a.B - b.B) > threshold;
    };
    for (int y = 0; y < canvas.Height; ++y) {
        for (int x = 0; x < canvas.Width; ++x) {
            const Rgb& here = first.At(x, y);
            if (!differs(here, x - 1, y) && !differs(here, x + 1, y) && !differs(here, x, y - 1) &&
                !differs(here, x, y + 1)) {
                continue;
            }
            Rgb sum;
            for (int j = 0; j < n; ++j) {
                for (int i = 0; i < n; ++i) {
                    float u = (x + (i + 0.5f) * inv) / canvas.Width;
                    float v = (y + (j + 0.5f) * inv) / canvas.Height;
                    sum = sum + f(u, v);
                }
            }
            canvas.At(x, y) = sum * norm;
        }
    }
}

// Blurs one channel plane in place (three box passes ≈ Gaussian), wrapping at the edges
// when wrap is set and clamping otherwise.
void BlurPlane(std::vector<float>& plane, int width, int height, int radius, bool wrap);

// Writes a baseline JPEG, full-resolution chroma; the same canvas always gives the same
// bytes. Writes beside the target first, so a failed run never leaves half a picture.
bool WriteJpeg(const Canvas& canvas, const std::string& path, int quality);
