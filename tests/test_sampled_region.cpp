// Where a frame gets 4 samples: the tiles marked from what the layers would draw, and the
// picture cut into rectangles that hold every marked tile. Made-up feedback, no OpenGL.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "capture/Capture.h"

namespace {

// The feedback tokens, as OpenGL numbers them.
constexpr float PassThrough = 0x0700;
constexpr float Polygon = 0x0703;
constexpr float LineToken = 0x0702;

const PictureRect Picture{240, 0, 1440, 1080};
const bool QuadLayers[3] = {true, false, true}; // as the show: quad, glyphs, quad

int MarkedCount(const EdgeTiles& tiles) {
    int n = 0;
    for (std::uint8_t m : tiles.Marked) {
        n += m;
    }
    return n;
}

bool MarkedAt(const EdgeTiles& tiles, float x, float y) {
    const int c = static_cast<int>((x - tiles.Picture.X) / EdgeTileSize);
    const int r = static_cast<int>((y - tiles.Picture.Y) / EdgeTileSize);
    return tiles.Marked[static_cast<std::size_t>(r) * tiles.Columns + c] != 0;
}

EdgeTiles Mark(const std::vector<float>& feedback, bool expectRead = true) {
    EdgeTiles tiles = UnmarkedTiles(Picture);
    EXPECT_EQ(MarkEdgeTiles(feedback.data(), feedback.size(), QuadLayers, 3, tiles), expectRead);
    return tiles;
}

TEST(SampledRegion, GlyphsMarkTheirBoundsAndQuadsOnlyTheirOutlineInsideThePicture) {
    // A quad over the whole picture, cut by the clipping into two triangles: no edges.
    const std::vector<float> cover = {PassThrough, 0, Polygon, 3, 240,  0,    1680, 0,   1680, 1080,
                                      Polygon,     3, 240,     0, 1680, 1080, 240,  1080};
    EXPECT_EQ(MarkedCount(Mark(cover)), 0);

    // The same quad ending at x = 273.9: only the tiles along that side, top to bottom.
    const std::vector<float> narrow = {PassThrough, 0, Polygon, 3,    273.9f,  0,
                                       1680,        0, 1680,    1080, Polygon, 3,
                                       273.9f,      0, 1680,    1080, 273.9f,  1080};
    const EdgeTiles side = Mark(narrow);
    EXPECT_EQ(MarkedCount(side), 2 * side.Rows) << "the tiles holding x 271.9 to 275.9";
    EXPECT_TRUE(MarkedAt(side, 273, 5) && MarkedAt(side, 273, 1075));
    EXPECT_FALSE(MarkedAt(side, 960, 540));

    // A glyph's triangle after a marker for layer 1: its bounds, two pixels wider.
    const std::vector<float> glyph = {PassThrough, 1, Polygon, 3, 513, 513, 540, 513, 520, 530};
    const EdgeTiles g = Mark(glyph);
    EXPECT_TRUE(MarkedAt(g, 513, 513) && MarkedAt(g, 541, 531));
    EXPECT_TRUE(MarkedAt(g, 500, 500)) << "the margin reaches the tile below and left";
    EXPECT_EQ(MarkedCount(g), 3 * 3);

    // Output before any marker, or after an unknown one, counts as a glyph's.
    const std::vector<float> unknown = {PassThrough, 7, LineToken, 800, 800, 810, 800};
    EXPECT_TRUE(MarkedAt(Mark(unknown), 805, 800));
}

TEST(SampledRegion, FeedbackThatCannotBeReadMarksEverything) {
    const int all = static_cast<int>(UnmarkedTiles(Picture).Marked.size());
    const std::vector<std::vector<float>> broken = {
        {PassThrough, 1, Polygon, 1000, 1, 2},            // more vertices than values
        {PassThrough, 1, Polygon, 3, 1, 2, 3, 4, 5},      // cut short
        {PassThrough, 1, Polygon, NAN, 1, 2},             // no count
        {PassThrough, 1, Polygon, 3, 1, 2, NAN, 4, 5, 6}, // no position
        {PassThrough, 1, 12345, 1, 2},                    // no token
        {PassThrough},                                    // a marker without its index
        {Polygon, -3, 1, 2},
    };
    for (const std::vector<float>& feedback : broken) {
        EXPECT_EQ(MarkedCount(Mark(feedback, false)), all);
    }
}

TEST(SampledRegion, BoxesMarkTheTilesOfWhatTheyCoverOnTheScreen) {
    EdgeTiles tiles = UnmarkedTiles(Picture);
    // A square turned by 45 degrees about z: a diamond whose bounds' corners it misses.
    const double c = std::cos(M_PI / 4) * 0.2, s = std::sin(M_PI / 4) * 0.2;
    const double turned[16] = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float low[3] = {-1, -1, -1};
    const float high[3] = {1, 1, 0};
    MarkBoxTiles(turned, Picture, low, high, tiles);
    EXPECT_TRUE(MarkedAt(tiles, 960, 540));
    EXPECT_TRUE(MarkedAt(tiles, 960 + 0.27f * 720, 540)) << "the diamond's right corner";
    EXPECT_FALSE(MarkedAt(tiles, 960 + 0.25f * 720, 540 + 0.25f * 540)) << "outside it";
    const int diamond = MarkedCount(tiles);
    EXPECT_GT(diamond, 0);

    // A box reaching behind the eye (w < 0) may cover anything.
    double perspective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0};
    const float far[3] = {0.1f, 0.1f, -4};
    const float behind[3] = {0.2f, 0.2f, 0.5f};
    EdgeTiles all = UnmarkedTiles(Picture);
    MarkBoxTiles(perspective, Picture, far, behind, all);
    EXPECT_EQ(MarkedCount(all), static_cast<int>(all.Marked.size()));
}

// Every pixel of the picture in exactly one rectangle, every marked tile in a sampled one.
void ExpectCover(const EdgeTiles& tiles, const std::vector<FrameRect>& rects) {
    const PictureRect& p = tiles.Picture;
    std::vector<int> count(static_cast<std::size_t>(p.Width) * p.Height, 0);
    std::vector<std::uint8_t> sampled(count.size(), 0);
    for (const FrameRect& f : rects) {
        const PictureRect& r = f.Rect;
        ASSERT_GE(r.X, p.X);
        ASSERT_GE(r.Y, p.Y);
        ASSERT_LE(r.X + r.Width, p.X + p.Width);
        ASSERT_LE(r.Y + r.Height, p.Y + p.Height);
        ASSERT_GT(r.Width, 0);
        ASSERT_GT(r.Height, 0);
        for (int y = r.Y; y < r.Y + r.Height; ++y) {
            for (int x = r.X; x < r.X + r.Width; ++x) {
                const std::size_t i = static_cast<std::size_t>(y - p.Y) * p.Width + (x - p.X);
                ++count[i];
                sampled[i] = f.Sampled;
            }
        }
    }
    for (std::size_t i = 0; i < count.size(); ++i) {
        ASSERT_EQ(count[i], 1) << "pixel " << i % p.Width << "," << i / p.Width;
        const int c = static_cast<int>(i % p.Width) / EdgeTileSize;
        const int r = static_cast<int>(i / p.Width) / EdgeTileSize;
        if (tiles.Marked[static_cast<std::size_t>(r) * tiles.Columns + c] != 0) {
            ASSERT_TRUE(sampled[i]) << "marked pixel " << i % p.Width << "," << i / p.Width;
        }
    }
}

std::uint64_t SampledArea(const std::vector<FrameRect>& rects) {
    std::uint64_t area = 0;
    for (const FrameRect& f : rects) {
        area += f.Sampled ? static_cast<std::uint64_t>(f.Rect.Width) * f.Rect.Height : 0;
    }
    return area;
}

TEST(SampledRegion, RectanglesCoverThePictureOnceAndSampleEveryMarkedTile) {
    // A size whose tiles do not fit evenly, as at 1920 x 1080 (1440 x 1080).
    const PictureRect odd{3, 1, 1001, 603};
    EdgeTiles none = UnmarkedTiles(odd);
    const std::vector<FrameRect> plain = SplitPicture(none);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_FALSE(plain[0].Sampled);
    ExpectCover(none, plain);

    EdgeTiles full = UnmarkedTiles(odd);
    full.Marked.assign(full.Marked.size(), 1);
    const std::vector<FrameRect> whole = SplitPicture(full);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_TRUE(whole[0].Sampled);

    // Two far corners: two small sampled rectangles, not the picture.
    EdgeTiles corners = UnmarkedTiles(odd);
    corners.Marked.front() = 1;
    corners.Marked.back() = 1;
    const std::vector<FrameRect> two = SplitPicture(corners);
    ExpectCover(corners, two);
    EXPECT_LE(SampledArea(two), 2u * EdgeTileSize * EdgeTileSize);

    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        EdgeTiles tiles = UnmarkedTiles(odd);
        // Clusters, like glyphs: a few blobs of marked tiles.
        for (int blob = 0; blob < 1 + round % 6; ++blob) {
            const int c = static_cast<int>(random() % tiles.Columns);
            const int r = static_cast<int>(random() % tiles.Rows);
            const int w = 1 + static_cast<int>(random() % 12),
                      h = 1 + static_cast<int>(random() % 9);
            for (int y = r; y < std::min(r + h, tiles.Rows); ++y) {
                for (int x = c; x < std::min(c + w, tiles.Columns); ++x) {
                    tiles.Marked[static_cast<std::size_t>(y) * tiles.Columns + x] =
                        random() % 4 != 0;
                }
            }
        }
        const std::vector<FrameRect> rects = SplitPicture(tiles);
        ExpectCover(tiles, rects);
        if (HasFatalFailure()) {
            return;
        }
    }
}

} // namespace
