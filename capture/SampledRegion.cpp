// Where a frame needs more than one sample, found from where its layers draw: the glyphs
// have edges all over, the flat quads only along their outlines. The picture is cut into
// tiles, the tiles with edges are marked, and the picture is cut again into a few
// rectangles, the sampled ones holding every marked tile.
#include "capture/Capture.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

// Pixels around an edge that are sampled too: the feedback positions and the
// rasterizer's may differ by a fraction of a pixel.
constexpr int Margin = 2;

struct Point {
    float X;
    float Y;
};

bool Finite(const Point& p) {
    return std::isfinite(p.X) && std::isfinite(p.Y);
}

void MarkAll(EdgeTiles& tiles) {
    std::fill(tiles.Marked.begin(), tiles.Marked.end(), 1);
}

// Marks the tiles holding any pixel from x0 to x1 and y0 to y1 (window pixels, inclusive).
void MarkPixels(EdgeTiles& tiles, int x0, int y0, int x1, int y1) {
    const PictureRect& p = tiles.Picture;
    x0 = std::max(x0, p.X) - p.X;
    y0 = std::max(y0, p.Y) - p.Y;
    x1 = std::min(x1, p.X + p.Width - 1) - p.X;
    y1 = std::min(y1, p.Y + p.Height - 1) - p.Y;
    for (int r = y0 / EdgeTileSize; y0 <= y1 && r <= y1 / EdgeTileSize; ++r) {
        for (int c = x0 / EdgeTileSize; x0 <= x1 && c <= x1 / EdgeTileSize; ++c) {
            tiles.Marked[static_cast<std::size_t>(r) * tiles.Columns + c] = 1;
        }
    }
}

// Everything a glyph draws may have edges anywhere in its bounds.
void MarkBounds(EdgeTiles& tiles, const std::vector<Point>& points) {
    if (points.empty()) {
        return;
    }
    float x0 = points[0].X, x1 = x0, y0 = points[0].Y, y1 = y0;
    for (const Point& q : points) {
        x0 = std::min(x0, q.X);
        x1 = std::max(x1, q.X);
        y0 = std::min(y0, q.Y);
        y1 = std::max(y1, q.Y);
    }
    // Clamped first: a huge coordinate must not overflow the conversion.
    auto pixel = [](float v) { return static_cast<int>(std::floor(std::clamp(v, -1e6f, 1e6f))); };
    MarkPixels(tiles, pixel(x0) - Margin, pixel(y0) - Margin, pixel(x1) + Margin,
               pixel(y1) + Margin);
}

// An edge along a side of the picture separates nothing that is drawn.
bool AlongPictureSide(const PictureRect& p, const Point& a, const Point& b) {
    auto near = [](float v, int line) { return std::fabs(v - static_cast<float>(line)) < 0.5f; };
    const int right = p.X + p.Width;
    const int top = p.Y + p.Height;
    return (near(a.X, p.X) && near(b.X, p.X)) || (near(a.X, right) && near(b.X, right)) ||
           (near(a.Y, p.Y) && near(b.Y, p.Y)) || (near(a.Y, top) && near(b.Y, top));
}

float Cross(const Point& o, const Point& a, const Point& b) {
    return (a.X - o.X) * (b.Y - o.Y) - (a.Y - o.Y) * (b.X - o.X);
}

// The convex hull of the points, counter-clockwise.
std::vector<Point> ConvexHull(std::vector<Point> points) {
    if (points.size() < 3) {
        return points;
    }
    std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
        return a.X < b.X || (a.X == b.X && a.Y < b.Y);
    });
    std::vector<Point> hull(points.size() * 2);
    std::size_t k = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0) {
            --k;
        }
        hull[k++] = points[i];
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i > 0; --i) {
        while (k >= lower && Cross(hull[k - 2], hull[k - 1], points[i - 1]) <= 0) {
            --k;
        }
        hull[k++] = points[i - 1];
    }
    hull.resize(k > 1 ? k - 1 : k);
    return hull;
}

// Marks the tiles that the convex polygon, grown by the margin, may touch: a tile is left
// out only when one of the polygon's sides (or the bounds) separates them.
void MarkHull(EdgeTiles& tiles, const std::vector<Point>& hull) {
    if (hull.size() < 3) {
        MarkBounds(tiles, hull);
        return;
    }
    float x0 = hull[0].X, x1 = x0, y0 = hull[0].Y, y1 = y0;
    for (const Point& q : hull) {
        x0 = std::min(x0, q.X);
        x1 = std::max(x1, q.X);
        y0 = std::min(y0, q.Y);
        y1 = std::max(y1, q.Y);
    }
    const PictureRect& p = tiles.Picture;
    auto column = [&](float x) {
        return static_cast<int>(std::floor((std::clamp(x, -1e6f, 1e6f) - p.X) / EdgeTileSize));
    };
    auto row = [&](float y) {
        return static_cast<int>(std::floor((std::clamp(y, -1e6f, 1e6f) - p.Y) / EdgeTileSize));
    };
    const int c0 = std::max(column(x0 - Margin), 0);
    const int c1 = std::min(column(x1 + Margin), tiles.Columns - 1);
    const int r0 = std::max(row(y0 - Margin), 0);
    const int r1 = std::min(row(y1 + Margin), tiles.Rows - 1);
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const float tx0 = static_cast<float>(p.X + c * EdgeTileSize - Margin);
            const float ty0 = static_cast<float>(p.Y + r * EdgeTileSize - Margin);
            const float tx1 = tx0 + EdgeTileSize + 2 * Margin;
            const float ty1 = ty0 + EdgeTileSize + 2 * Margin;
            const Point corners[4] = {{tx0, ty0}, {tx1, ty0}, {tx1, ty1}, {tx0, ty1}};
            bool apart = false;
            for (std::size_t i = 0; i < hull.size() && !apart; ++i) {
                const Point& a = hull[i];
                const Point& b = hull[(i + 1) % hull.size()];
                // Counter-clockwise: the inside is to the left of each side.
                apart = std::all_of(std::begin(corners), std::end(corners),
                                    [&](const Point& q) { return Cross(a, b, q) < 0; });
            }
            if (!apart) {
                tiles.Marked[static_cast<std::size_t>(r) * tiles.Columns + c] = 1;
            }
        }
    }
}

// A flat quad, cut by the clipping into pieces: its outline is the convex hull of them
// all, and only where the hull crosses the picture are there edges.
void MarkOutline(EdgeTiles& tiles, const std::vector<Point>& points) {
    const std::vector<Point> hull = ConvexHull(points);
    if (hull.size() < 2) {
        MarkBounds(tiles, hull);
        return;
    }
    for (std::size_t i = 0; i < hull.size(); ++i) {
        const Point& a = hull[i];
        const Point& b = hull[(i + 1) % hull.size()];
        if (AlongPictureSide(tiles.Picture, a, b)) {
            continue;
        }
        // Steps of half a pixel along the edge, each marking the pixels around it.
        const float length = std::hypot(b.X - a.X, b.Y - a.Y);
        const int steps = static_cast<int>(std::min(length * 2.0f, 1e5f)) + 1;
        for (int s = 0; s <= steps; ++s) {
            const float f = static_cast<float>(s) / static_cast<float>(steps);
            MarkBounds(tiles, {{a.X + (b.X - a.X) * f, a.Y + (b.Y - a.Y) * f}});
        }
    }
}

} // namespace

EdgeTiles UnmarkedTiles(const PictureRect& picture) {
    EdgeTiles tiles;
    tiles.Picture = picture;
    tiles.Columns = (std::max(picture.Width, 0) + EdgeTileSize - 1) / EdgeTileSize;
    tiles.Rows = (std::max(picture.Height, 0) + EdgeTileSize - 1) / EdgeTileSize;
    tiles.Marked.assign(static_cast<std::size_t>(tiles.Columns) * tiles.Rows, 0);
    return tiles;
}

void MarkBoxTiles(const double* transform, const PictureRect& viewport, const float* low,
                  const float* high, EdgeTiles& tiles) {
    std::vector<Point> corners;
    for (int k = 0; k < 8; ++k) {
        const double v[3] = {(k & 1) != 0 ? high[0] : low[0], (k & 2) != 0 ? high[1] : low[1],
                             (k & 4) != 0 ? high[2] : low[2]};
        double clip[4];
        for (int row = 0; row < 4; ++row) {
            clip[row] = transform[row] * v[0] + transform[4 + row] * v[1] +
                        transform[8 + row] * v[2] + transform[12 + row];
        }
        if (!(clip[3] > 1e-6)) {
            MarkAll(tiles);
            return;
        }
        corners.push_back(
            {static_cast<float>(viewport.X + (clip[0] / clip[3] + 1) * 0.5 * viewport.Width),
             static_cast<float>(viewport.Y + (clip[1] / clip[3] + 1) * 0.5 * viewport.Height)});
        if (!Finite(corners.back())) {
            MarkAll(tiles);
            return;
        }
    }
    MarkHull(tiles, ConvexHull(corners));
}

bool MarkEdgeTiles(const float* feedback, std::size_t count, const bool* singleQuad, int layers,
                   EdgeTiles& tiles) {
    // Output before the first marker belongs to no known layer: taken as glyphs.
    bool quad = false;
    std::vector<Point> quadPoints;
    std::vector<Point> polygon;
    auto endLayer = [&] {
        if (quad) {
            MarkOutline(tiles, quadPoints);
        }
        quadPoints.clear();
    };
    std::size_t i = 0;
    // Reads n vertices after position i into `polygon`; false past the end or for a
    // position that is no number.
    auto vertices = [&](std::size_t n) {
        polygon.clear();
        if (n > (count - i) / 2) {
            return false;
        }
        for (std::size_t v = 0; v < n; ++v, i += 2) {
            polygon.push_back({feedback[i], feedback[i + 1]});
            if (!Finite(polygon.back())) {
                return false;
            }
        }
        return true;
    };
    bool read = true;
    while (i < count && read) {
        const float token = feedback[i++];
        std::size_t n = 0;
        read = false;
        if (token == GL_PASS_THROUGH_TOKEN) {
            if (i >= count) {
                break;
            }
            read = true;
            endLayer();
            const float index = feedback[i++];
            quad = index >= 0 && index < static_cast<float>(layers) &&
                   singleQuad[static_cast<int>(index)];
            continue;
        }
        if (token == GL_POLYGON_TOKEN) {
            if (i >= count || !(feedback[i] >= 0) || feedback[i] > static_cast<float>(count)) {
                break;
            }
            n = static_cast<std::size_t>(feedback[i++]);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            n = 2;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN ||
                   token == GL_DRAW_PIXEL_TOKEN || token == GL_COPY_PIXEL_TOKEN) {
            n = 1;
        } else {
            break;
        }
        if (!vertices(n)) {
            break;
        }
        read = true;
        if (quad) {
            quadPoints.insert(quadPoints.end(), polygon.begin(), polygon.end());
        } else {
            MarkBounds(tiles, polygon);
        }
    }
    if (!read) {
        MarkAll(tiles);
        return false;
    }
    endLayer();
    return true;
}

namespace {

// Drawing costs in units of one pixel drawn with one sample, measured with llvmpipe at
// 1920 x 1080: each pixel with 4 samples costs the clear, the two full-picture quads and
// the resolve of 4 samples; each rectangle costs the draws and the resolve it needs.
constexpr double SampledPixelCost = 2.5;
constexpr double PlainRectCost = 4000;
constexpr double SampledRectCost = 7000;

struct TileRange {
    int C0, R0, C1, R1; // columns C0 to C1 - 1, rows R0 to R1 - 1
    bool Empty() const { return C0 >= C1 || R0 >= R1; }
};

class Splitter {
  public:
    explicit Splitter(const EdgeTiles& tiles) : Tiles(tiles) {
        const std::size_t w = static_cast<std::size_t>(tiles.Columns) + 1;
        Sums.assign(w * (static_cast<std::size_t>(tiles.Rows) + 1), 0);
        for (int r = 0; r < tiles.Rows; ++r) {
            for (int c = 0; c < tiles.Columns; ++c) {
                Sums[(r + 1) * w + c + 1] =
                    tiles.Marked[static_cast<std::size_t>(r) * tiles.Columns + c] +
                    Sums[r * w + c + 1] + Sums[(r + 1) * w + c] - Sums[r * w + c];
            }
        }
    }

    void Split(TileRange range) {
        if (range.Empty()) {
            return;
        }
        const TileRange tight = Bounds(range);
        if (tight.Empty()) {
            Emit(range, false);
            return;
        }
        // Leaving out the empty margins around the marked tiles, when that pays.
        if (Estimate(range) < Cost(range, true)) {
            Emit({range.C0, range.R0, tight.C0, range.R1}, false);
            Emit({tight.C1, range.R0, range.C1, range.R1}, false);
            Emit({tight.C0, range.R0, tight.C1, tight.R0}, false);
            Emit({tight.C0, tight.R1, tight.C1, range.R1}, false);
            range = tight;
        }
        // The cut that saves the most, if any.
        double best = Cost(range, true);
        TileRange first{}, second{};
        auto consider = [&](const TileRange& a, const TileRange& b) {
            const double cost = Estimate(a) + Estimate(b);
            if (cost < best) {
                best = cost;
                first = a;
                second = b;
            }
        };
        for (int c = range.C0 + 1; c < range.C1; ++c) {
            consider({range.C0, range.R0, c, range.R1}, {c, range.R0, range.C1, range.R1});
        }
        for (int r = range.R0 + 1; r < range.R1; ++r) {
            consider({range.C0, range.R0, range.C1, r}, {range.C0, r, range.C1, range.R1});
        }
        if (first.Empty()) {
            Emit(range, true);
            return;
        }
        Split(first);
        Split(second);
    }

    std::vector<FrameRect> Rects;

  private:
    int Marked(const TileRange& t) const {
        const std::size_t w = static_cast<std::size_t>(Tiles.Columns) + 1;
        return Sums[t.R1 * w + t.C1] - Sums[t.R0 * w + t.C1] - Sums[t.R1 * w + t.C0] +
               Sums[t.R0 * w + t.C0];
    }

    // The smallest range holding every marked tile of `t` (empty when none is).
    TileRange Bounds(const TileRange& t) const {
        if (Marked(t) == 0) {
            return {t.C0, t.R0, t.C0, t.R0};
        }
        TileRange b = t;
        while (Marked({b.C0, b.R0, b.C0 + 1, b.R1}) == 0) {
            ++b.C0;
        }
        while (Marked({b.C1 - 1, b.R0, b.C1, b.R1}) == 0) {
            --b.C1;
        }
        while (Marked({b.C0, b.R0, b.C1, b.R0 + 1}) == 0) {
            ++b.R0;
        }
        while (Marked({b.C0, b.R1 - 1, b.C1, b.R1}) == 0) {
            --b.R1;
        }
        return b;
    }

    PictureRect Pixels(const TileRange& t) const {
        const PictureRect& p = Tiles.Picture;
        PictureRect r;
        r.X = p.X + t.C0 * EdgeTileSize;
        r.Y = p.Y + t.R0 * EdgeTileSize;
        r.Width = std::min(p.X + t.C1 * EdgeTileSize, p.X + p.Width) - r.X;
        r.Height = std::min(p.Y + t.R1 * EdgeTileSize, p.Y + p.Height) - r.Y;
        return r;
    }

    double Cost(const TileRange& t, bool sampled) const {
        if (t.Empty()) {
            return 0;
        }
        const PictureRect r = Pixels(t);
        const double area = static_cast<double>(r.Width) * r.Height;
        return sampled ? SampledRectCost + SampledPixelCost * area : PlainRectCost + area;
    }

    // The cost of a range drawn as the bounds of its marked tiles, sampled, with the
    // margins around them plain.
    double Estimate(const TileRange& t) const {
        const TileRange b = Bounds(t);
        if (b.Empty()) {
            return Cost(t, false);
        }
        return Cost({t.C0, t.R0, b.C0, t.R1}, false) + Cost({b.C1, t.R0, t.C1, t.R1}, false) +
               Cost({b.C0, t.R0, b.C1, b.R0}, false) + Cost({b.C0, b.R1, b.C1, t.R1}, false) +
               Cost(b, true);
    }

    void Emit(const TileRange& t, bool sampled) {
        if (!t.Empty()) {
            Rects.push_back({Pixels(t), sampled});
        }
    }

    const EdgeTiles& Tiles;
    std::vector<int> Sums;
};

} // namespace

std::vector<FrameRect> SplitPicture(const EdgeTiles& tiles) {
    Splitter splitter(tiles);
    splitter.Split({0, 0, tiles.Columns, tiles.Rows});
    return splitter.Rects;
}
