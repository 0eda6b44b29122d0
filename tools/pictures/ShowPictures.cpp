// The eight show pictures d0 … d7, each a pure function of its pixel position.
#include "Pictures.h"

#include <cmath>
#include <complex>

#include "Noise.h"

namespace {

constexpr float Pi = 3.14159265359f;
constexpr float Tau = 6.28318530718f;

// Picture position (u, v in 0..1, v down) to centred coordinates, −1..1, y up.
struct Point {
    float X, Y;
};
Point Centred(float u, float v) {
    return {2 * u - 1, 1 - 2 * v};
}

} // namespace

// d0: a mirrored ornament folded into one tile, so the picture repeats without seams
// wherever it is wrapped across a surface. Log-spaced rings and petals around the tile
// centre keep detail coming as the zoom closes in.
void DrawTiledOrnament(Canvas& canvas) {
    ShadeAdaptive(canvas, 2, 0.12f, [](float u, float v) {
        // Fold onto the triangle 0 ≤ y ≤ x ≤ ½ around the tile centre: p4m symmetry.
        float x = std::abs(u - 0.5f), y = std::abs(v - 0.5f);
        if (y > x) {
            std::swap(x, y);
        }
        const float r = std::sqrt(x * x + y * y) + 1e-6f;
        const float angle = std::atan2(y, x); // 0 … π/4
        const float lr = std::log(r);
        // Domain-warped noise on the folded plane.
        const float wx = PeriodicFbm(x * 6 + 3.1f, y * 6, 64, 3, 11u);
        const float wy = PeriodicFbm(x * 6, y * 6 + 7.7f, 64, 3, 12u);
        const float n = PeriodicFbm(x * 5 + 1.5f * wx, y * 5 + 1.5f * wy, 64, 5, 13u);
        // Petals whose size follows the radius: the same rosette at every scale.
        const float petals = std::cos(angle * 16) * 0.5f + 0.5f;
        const float rings = std::cos(lr * 9 + n * 3 + petals * 1.2f);
        const float t = 0.55f * n + 0.18f * rings + 0.12f * lr;
        // Glazed-tile colours: teal, emerald, lime, gold, violet, round again.
        static const Rgb stops[5] = {{0.05f, 0.5f, 0.5f},
                                     {0.15f, 0.78f, 0.35f},
                                     {0.72f, 0.95f, 0.3f},
                                     {1.0f, 0.82f, 0.35f},
                                     {0.55f, 0.38f, 0.9f}};
        const float f = Fract(t) * 5;
        const int i = static_cast<int>(f) % 5;
        Rgb c = Mix(stops[i], stops[(i + 1) % 5], SmoothStep(0.0f, 1.0f, f - std::floor(f)));
        // Pale glints along the ring crests.
        const float crest = SmoothStep(0.9f, 0.99f, rings);
        c = Mix(c, {0.97f, 1.0f, 0.85f}, 0.8f * crest);
        // Lighter towards the tile edge, which becomes the corners of the picture.
        c = Mix(c, {0.85f, 1.0f, 0.75f}, 0.3f * SmoothStep(0.45f, 0.7f, r));
        return LiftShadows(c, 0.08f);
    });
}

// d1: a spiral in the seahorse valley of the Mandelbrot set, centred on its eye, where
// the spiral repeats at every magnification.
namespace {

constexpr int MandelbrotLimit = 1200;

// Smooth escape counts of `count` points (−1 for points that never escape). Four orbits
// run side by side and each lane takes the next point as soon as its orbit is done: the
// orbits are independent, so the processor overlaps their arithmetic.
void EscapeTimes(const double* cx, const double* cy, int count, double* out) {
    constexpr int Lanes = 4;
    double zx[Lanes], zy[Lanes];
    int point[Lanes], n[Lanes];
    int next = 0, busy = 0;
    for (int k = 0; k < Lanes; ++k) {
        point[k] = -1;
        zx[k] = zy[k] = 0;
        n[k] = 0;
        if (next < count) {
            point[k] = next++;
            ++busy;
        }
    }
    while (busy > 0) {
        for (int k = 0; k < Lanes; ++k) {
            const int i = point[k] < 0 ? 0 : point[k];
            const double x2 = zx[k] * zx[k], y2 = zy[k] * zy[k];
            const double m = x2 + y2;
            const bool escaped = m >= 65536.0;
            if (point[k] >= 0 && (escaped || n[k] >= MandelbrotLimit)) {
                out[point[k]] = escaped ? n[k] + 1 - std::log2(0.5 * std::log(m)) : -1.0;
                zx[k] = zy[k] = 0;
                n[k] = 0;
                point[k] = -1;
                --busy;
                if (next < count) {
                    point[k] = next++;
                    ++busy;
                }
                continue;
            }
            zy[k] = 2 * zx[k] * zy[k] + cy[i];
            zx[k] = x2 - y2 + cx[i];
            ++n[k];
        }
    }
}

Rgb MandelbrotColour(double nu) {
    if (nu < 0) {
        return Rgb{0.30f, 0.16f, 0.42f};
    }
    const float t = static_cast<float>(std::log(nu + 1.0) * 1.35);
    const Rgb c = CosinePalette(t, {0.6f, 0.55f, 0.6f}, {0.4f, 0.42f, 0.4f}, {1.0f, 1.0f, 1.0f},
                                {0.0f, 0.15f, 0.3f});
    return LiftShadows(c, 0.1f);
}

} // namespace

void DrawMandelbrot(Canvas& canvas) {
    const double cx0 = -0.747322, cy0 = 0.100308;
    const double half = 0.0012;
    const int w = canvas.Width, h = canvas.Height;
    auto planeX = [&](double x) { return cx0 + (2 * x / w - 1) * half; };
    auto planeY = [&](double y) { return cy0 + (1 - 2 * y / h) * half; };
    // One sample per pixel, a row at a time.
    std::vector<double> cx(w), cy(w), nu(w);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            cx[x] = planeX(x + 0.5);
            cy[x] = planeY(y + 0.5);
        }
        EscapeTimes(cx.data(), cy.data(), w, nu.data());
        for (int x = 0; x < w; ++x) {
            canvas.At(x, y) = MandelbrotColour(nu[x]);
        }
    }
    // Two more samples where a pixel stands out from a neighbour, all run as one batch.
    const Canvas first = canvas;
    auto differs = [&](const Rgb& a, int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) {
            return false;
        }
        const Rgb& b = first.At(x, y);
        return std::abs(a.R - b.R) + std::abs(a.G - b.G) + std::abs(a.B - b.B) > 0.4f;
    };
    std::vector<int> edges;
    std::vector<double> sx, sy;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb& here = first.At(x, y);
            if (!differs(here, x - 1, y) && !differs(here, x + 1, y) && !differs(here, x, y - 1) &&
                !differs(here, x, y + 1)) {
                continue;
            }
            edges.push_back(y * w + x);
            // With the centre sample these lie on a diagonal across the pixel.
            sx.push_back(planeX(x + 0.2));
            sy.push_back(planeY(y + 0.2));
            sx.push_back(planeX(x + 0.8));
            sy.push_back(planeY(y + 0.8));
        }
    }
    std::vector<double> snu(sx.size());
    EscapeTimes(sx.data(), sy.data(), static_cast<int>(sx.size()), snu.data());
    for (size_t e = 0; e < edges.size(); ++e) {
        Rgb& pixel = canvas.Pixels[static_cast<size_t>(edges[e])];
        Rgb sum = pixel;
        sum = sum + MandelbrotColour(snu[2 * e]) + MandelbrotColour(snu[2 * e + 1]);
        pixel = sum * (1.0f / 3);
    }
}

// d2: a tunnel of glowing panels twisting towards a light at its far end.
void DrawTunnel(Canvas& canvas) {
    const int around = 18;
    ShadeAdaptive(canvas, 3, 0.08f, [](float u, float v) {
        const Point p = Centred(u, v);
        const float r = std::sqrt(p.X * p.X + p.Y * p.Y) + 1e-6f;
        const float angle = std::atan2(p.Y, p.X);
        const float depth = 0.5f / r;
        const float U = (angle / Tau + 0.03f * depth) * around, V = depth * 4.5f;
        const float cu = std::floor(U), cv = std::floor(V);
        const float fu = U - cu, fv = V - cv;
        const float edge = std::min({fu, 1 - fu, fv, 1 - fv});
        const float frame = 1 - SmoothStep(0.02f, 0.07f, edge);
        const int column = ((static_cast<int>(cu) % around) + around) % around;
        const float jitter = HashUnit(column, static_cast<int>(cv), 5u);
        // Ring by ring from violet at the mouth through rose and amber to gold.
        Rgb panel = Hsv(0.74f + 0.045f * cv + 0.05f * jitter, 0.75f, 0.8f + 0.2f * jitter);
        // Each panel lit from its far edge, as if by the light down the tunnel.
        panel = panel * (0.7f + 0.4f * fv);
        panel = Mix(panel, {1, 1, 1}, 0.15f * (1 - SmoothStep(0.0f, 0.3f, edge)));
        Rgb c = Mix(panel, {1.0f, 0.88f, 0.62f}, 0.85f * frame);
        // The light at the end: sun rays that look the same at every distance.
        const float rays = 0.5f + 0.5f * std::cos(angle * 24 + 3 * std::sin(angle * 5));
        const float glow = std::exp(-r * 7.0f);
        const float fog = SmoothStep(6.0f, 18.0f, depth);
        const Rgb light = Mix({1.0f, 0.72f, 0.4f}, {1.0f, 0.98f, 0.9f}, rays);
        c = Mix(c, light, fog);
        c = c + Rgb{1.0f, 0.9f, 0.7f} * (0.4f * glow);
        return LiftShadows(c, 0.08f);
    });
}

// d3: Newton's method for z³ = 1 around the origin, where all three basins meet again
// and again at every magnification.
void DrawNewton(Canvas& canvas) {
    const std::complex<double> roots[3] = {
        {1.0, 0.0}, {-0.5, 0.86602540378}, {-0.5, -0.86602540378}};
    const Rgb hues[3] = {{1.0f, 0.45f, 0.25f}, {0.25f, 0.85f, 0.75f}, {0.75f, 0.4f, 1.0f}};
    ShadeAdaptive(canvas, 2, 0.1f, [&](float u, float v) {
        const Point p = Centred(u, v);
        std::complex<double> z(p.X * 1.6, p.Y * 1.6);
        for (int n = 0; n < 60; ++n) {
            const std::complex<double> z2 = z * z;
            if (std::norm(z2) < 1e-24) {
                break;
            }
            z -= (z2 * z - 1.0) / (3.0 * z2);
            for (int k = 0; k < 3; ++k) {
                const double d2 = std::norm(z - roots[k]);
                if (d2 < 1e-6) {
                    const double d = std::sqrt(d2);
                    // Smooth iteration count from the quadratic convergence.
                    const double s = n - std::log2(std::log(d) / std::log(1e-3));
                    const float t = static_cast<float>(s);
                    // Contours of equal convergence time: soft bands with a bright rim.
                    // Near the boundary the contours crowd below a pixel: let them fade
                    // there instead of breaking into noise.
                    const float calm = 1 - SmoothStep(7.0f, 13.0f, t);
                    const float band = 0.5f + (Fract(t * 1.5f) - 0.5f) * calm;
                    const float rim = SmoothStep(0.8f, 1.0f, band) * calm;
                    Rgb c = hues[k] * (0.6f + 0.4f * band);
                    c = Mix(c, {1.0f, 0.97f, 0.85f}, 0.6f * rim);
                    c = Mix(c, {1.0f, 0.97f, 0.85f}, 0.3f * SmoothStep(3.0f, 12.0f, t));
                    return LiftShadows(c, 0.1f);
                }
            }
        }
        return Rgb{1.0f, 0.97f, 0.85f};
    });
}

// d4: stained glass whose panes shrink with the distance from the centre, so the
// leading looks the same however far the zoom goes in.
void DrawStainedGlass(Canvas& canvas) {
    const int around = 16;
    const float scale = around / Tau;
    ShadeAdaptive(canvas, 3, 0.08f, [&](float u, float v) {
        const Point p = Centred(u, v);
        const float r = std::sqrt(p.X * p.X + p.Y * p.Y) + 1e-7f;
        const float qx = std::log(r) * scale;
        const float qy = (std::atan2(p.Y, p.X) + Pi) * scale;
        const int ix = static_cast<int>(std::floor(qx)), iy = static_cast<int>(std::floor(qy));
        float best = 1e9f, second = 1e9f;
        int bx = 0, by = 0;
        for (int j = -1; j <= 1; ++j) {
            for (int i = -1; i <= 1; ++i) {
                const int cx = ix + i, cy = iy + j;
                const int wy = ((cy % around) + around) % around;
                const float px = cx + 0.15f + 0.7f * HashUnit(cx, wy, 21u);
                const float py = cy + 0.15f + 0.7f * HashUnit(cx, wy, 22u);
                const float dx = qx - px, dy = qy - py;
                const float d = dx * dx + dy * dy;
                if (d < best) {
                    second = best;
                    best = d;
                    bx = cx;
                    by = wy;
                } else if (d < second) {
                    second = d;
                }
            }
        }
        const float gap = std::sqrt(second) - std::sqrt(best);
        const float lead = 1 - SmoothStep(0.03f, 0.075f, gap);
        const float hue = HashUnit(bx, by, 23u);
        const float shade = 0.85f + 0.15f * HashUnit(bx, by, 24u);
        Rgb glass = Hsv(0.55f + 0.6f * hue, 0.75f, shade);
        // Light through the glass: brighter in the middle of each pane.
        glass = Mix(glass, {1, 1, 0.95f}, 0.55f * SmoothStep(0.1f, 0.6f, gap));
        const Rgb leadColour{0.3f, 0.26f, 0.24f};
        return Mix(glass, leadColour, lead);
    });
}

// d5: a twelve-fold kaleidoscope of warped noise, laid out in log-polar coordinates so
// that its patterns repeat ever smaller towards the middle.
void DrawKaleidoscope(Canvas& canvas) {
    const float wedge = Tau / 12;
    ShadeAdaptive(canvas, 2, 0.2f, [&](float u, float v) {
        const Point p = Centred(u, v);
        const float r = std::sqrt(p.X * p.X + p.Y * p.Y) + 1e-7f;
        float a = std::fmod(std::atan2(p.Y, p.X) + Tau, wedge);
        a = std::min(a, wedge - a); // mirror inside each wedge
        const float lr = std::log(r);
        // Periodic along log r as well: 3 units of log radius per repeat.
        const float qx = lr / 3.0f * 8, qy = a / wedge * 4;
        const float w = PeriodicFbm(qx, qy + 2.3f, 8, 3, 31u);
        const float n = PeriodicFbm(qx + 1.6f * w, qy + 1.2f * w, 8, 4, 32u);
        const float t = 0.9f * n + 0.25f * lr + 0.1f * std::cos(a * 30);
        Rgb c = CosinePalette(t, {0.62f, 0.5f, 0.55f}, {0.38f, 0.42f, 0.4f}, {1.0f, 1.0f, 1.0f},
                              {0.0f, 0.33f, 0.67f});
        const float crest = SmoothStep(0.1f, 0.0f, std::abs(n));
        c = Mix(c, {1.0f, 0.95f, 0.85f}, 0.6f * crest);
        return LiftShadows(c, 0.1f);
    });
}

// d6: marbled paper drawn along logarithmic spirals into a vortex at the centre.
void DrawMarble(Canvas& canvas) {
    ShadeAdaptive(canvas, 2, 0.12f, [](float u, float v) {
        const Point p = Centred(u, v);
        const float r = std::sqrt(p.X * p.X + p.Y * p.Y) + 1e-7f;
        const float angle = std::atan2(p.Y, p.X);
        // Log spirals far out; the offset turns them into a calm pinwheel in the last few
        // pixels, where real spirals would only alias.
        const float lr = std::log(r + 0.02f);
        // Spiral coordinate: constant along log spirals, periodic around the centre.
        const float spiral = angle * 3 / Tau + lr * 0.9f;
        const float warpA = PeriodicFbm(lr * 1.3f, angle * 6 / Tau, 6, 3, 41u);
        const float warpB = PeriodicFbm(lr * 2.1f + 4, angle * 6 / Tau, 6, 3, 42u);
        const float s = spiral * 4 + 1.8f * warpA + 0.7f * warpB;
        const float band = Fract(s);
        const Rgb stops[4] = {{0.98f, 0.93f, 0.82f},
                              {0.15f, 0.62f, 0.68f},
                              {0.98f, 0.5f, 0.45f},
                              {0.25f, 0.3f, 0.62f}};
        const float f = band * 4;
        const int i = static_cast<int>(f) & 3;
        const float k = SmoothStep(0.7f, 1.0f, f - std::floor(f));
        Rgb c = Mix(stops[i], stops[(i + 1) & 3], k);
        // A hairline of gold between bands.
        const float hair = SmoothStep(0.05f, 0.0f, std::abs(f - std::round(f)));
        c = Mix(c, {1.0f, 0.85f, 0.45f}, 0.6f * hair);
        // A pearl in the eye of the vortex, where the bands would crowd below a pixel.
        const float pearl = SmoothStep(0.045f, 0.03f, r);
        const Rgb shine =
            Mix({1.0f, 0.97f, 0.9f}, {0.98f, 0.55f, 0.5f}, SmoothStep(0.0f, 0.04f, r));
        c = Mix(c, shine, pearl);
        return LiftShadows(c, 0.1f);
    });
}

// d7: rings from three wave sources interfering around the centre.
void DrawInterference(Canvas& canvas) {
    ShadeAdaptive(canvas, 2, 0.08f, [](float u, float v) {
        const Point p = Centred(u, v);
        float sum = 0;
        for (int k = 0; k < 3; ++k) {
            const float a = Tau * k / 3 + 0.5f;
            const float dx = p.X - 0.3f * std::cos(a), dy = p.Y - 0.3f * std::sin(a);
            const float d = std::sqrt(dx * dx + dy * dy);
            sum += std::cos(d * 60 - d * d * 20);
        }
        const float r = std::sqrt(p.X * p.X + p.Y * p.Y);
        const float level = sum * 1.5f + r * 2;
        const float band = Fract(level);
        const float line = SmoothStep(0.88f, 0.98f, band) * (1 - SmoothStep(0.98f, 1.0f, band));
        Rgb c = Hsv(0.55f + 0.12f * std::floor(level), 0.65f, 0.7f + 0.25f * band);
        c = Mix(c, {1.0f, 1.0f, 0.95f}, 0.7f * line);
        return LiftShadows(c, 0.1f);
    });
}
