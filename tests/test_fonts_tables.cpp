// The outline fonts without a GL context: the character tables, which installed face a
// description finds, and the meshes of every glyph the show builds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fonts/FontCharacterMaps.h"
#include "fonts/FontFaces.h"
#include "fonts/FontGlyphMesh.h"
#include "platform/Win32Fonts.h"

namespace {

std::string SourceDir() {
    const char* dir = std::getenv("LARKSPUR_SOURCE_DIR");
    return dir != nullptr ? dir : "..";
}

TEST(FontTables, WingdingsTableMatchesItsSourceData) {
    std::ifstream tsv(SourceDir() + "/fonts/wingdings-to-unicode.tsv");
    ASSERT_TRUE(tsv.good()) << "set LARKSPUR_SOURCE_DIR";
    char32_t fromFile[256] = {};
    int rows = 0;
    std::string line;
    while (std::getline(tsv, line)) {
        if (line.rfind("0x", 0) != 0) {
            continue;
        }
        std::istringstream fields(line);
        std::string code, unicode;
        std::getline(fields, code, '\t');
        std::getline(fields, unicode, '\t');
        ASSERT_EQ(unicode.rfind("U+", 0), 0u) << line;
        unsigned long byte = std::stoul(code, nullptr, 16);
        ASSERT_LT(byte, 256u);
        fromFile[byte] = static_cast<char32_t>(std::stoul(unicode.substr(2), nullptr, 16));
        ++rows;
    }
    EXPECT_EQ(rows, 222);
    for (int code = 0; code < 256; ++code) {
        EXPECT_EQ(WingdingsToUnicode[code], fromFile[code]) << "code " << code;
    }
}

std::string FileName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

TEST(FontFaces, DescriptionsFindTheInstalledFaces) {
    const FontFace* arial = FindFontFace("Arial", FW_BOLD, false, ANSI_CHARSET);
    ASSERT_NE(arial, nullptr);
    EXPECT_EQ(FileName(arial->FilePath), "LiberationSans-Bold.ttf");
    EXPECT_EQ(arial->CodeMap, FontCodeMap::Ansi);
    const FontFace* regular = FindFontFace("arial", 400, false, ANSI_CHARSET);
    ASSERT_NE(regular, nullptr);
    EXPECT_EQ(FileName(regular->FilePath), "LiberationSans-Regular.ttf");

    const FontFace* symbols = FindFontFace("Wingdings", FW_BOLD, false, DEFAULT_CHARSET);
    ASSERT_NE(symbols, nullptr);
    if (symbols->CodeMap != FontCodeMap::Symbol) {
        EXPECT_EQ(symbols->CodeMap, FontCodeMap::Wingdings);
        EXPECT_EQ(symbols->Family, "Symbola");
        // Every symbol of the table has its glyph there.
        for (unsigned code = 0x21; code < 256; ++code) {
            if (WingdingsToUnicode[code] != 0) {
                EXPECT_NE(FontGlyphOfCode(*symbols, code), 0u) << "code " << code;
            }
        }
    }
    // No stand-in for a family nobody declared one for: fontconfig's last resort is refused.
    EXPECT_EQ(FindFontFace("No Such Face Xq", FW_BOLD, false, ANSI_CHARSET), nullptr);
    EXPECT_EQ(FindFontFace("", FW_BOLD, false, ANSI_CHARSET), nullptr);
}

double SignedArea(const std::vector<GlyphPoint>& loop) {
    double area = 0.0;
    for (std::size_t i = 0; i < loop.size(); ++i) {
        const GlyphPoint& a = loop[i];
        const GlyphPoint& b = loop[(i + 1) % loop.size()];
        area += static_cast<double>(a.X) * b.Y - static_cast<double>(b.X) * a.Y;
    }
    return area / 2.0;
}

// Winding number of the loops around a point.
int WindingAround(const GlyphMesh& mesh, double x, double y) {
    int winding = 0;
    for (const auto& loop : mesh.Loops) {
        for (std::size_t i = 0; i < loop.size(); ++i) {
            const GlyphPoint& a = loop[i];
            const GlyphPoint& b = loop[(i + 1) % loop.size()];
            double side = (b.X - a.X) * (y - a.Y) - (x - a.X) * (b.Y - a.Y);
            if (a.Y <= y && b.Y > y && side > 0) {
                ++winding;
            } else if (a.Y > y && b.Y <= y && side < 0) {
                --winding;
            }
        }
    }
    return winding;
}

// The walls face outwards: just right of every boundary edge (where the wall's normal
// points) is empty, just left of it is filled.
TEST(FontMeshes, BoundariesKeepTheFilledSideOnTheirLeft) {
    GLUtesselator* tessellator = gluNewTess();
    for (const char* family : {"Arial", "Wingdings"}) {
        const FontFace* face =
            FindFontFace(family, FW_BOLD, false, family[0] == 'A' ? ANSI_CHARSET : DEFAULT_CHARSET);
        ASSERT_NE(face, nullptr);
        for (unsigned code : {0x4Fu, 0x42u, 0x26u, 0xE4u, 0x4Eu, 0xF2u, 0x30u}) {
            ASSERT_EQ(FT_Load_Glyph(face->Face, FontGlyphOfCode(*face, code),
                                    FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP),
                      0);
            GlyphMesh mesh;
            ASSERT_TRUE(BuildGlyphMesh(tessellator, face->Face->glyph->outline,
                                       1.0 / face->Face->units_per_EM, FinestChordalDeviation,
                                       &mesh));
            int checked = 0, wrong = 0;
            for (const auto& loop : mesh.Loops) {
                for (std::size_t i = 0; i < loop.size(); ++i) {
                    const GlyphPoint& a = loop[i];
                    const GlyphPoint& b = loop[(i + 1) % loop.size()];
                    double length = std::hypot(b.X - a.X, b.Y - a.Y);
                    if (length < 0.01) {
                        continue; // too short to probe beside it reliably
                    }
                    double nx = (b.Y - a.Y) / length, ny = (a.X - b.X) / length;
                    double mx = (a.X + b.X) / 2, my = (a.Y + b.Y) / 2;
                    ++checked;
                    wrong += WindingAround(mesh, mx + 1e-4 * nx, my + 1e-4 * ny) != 0 ||
                             WindingAround(mesh, mx - 1e-4 * nx, my - 1e-4 * ny) == 0;
                }
            }
            EXPECT_GT(checked, 4) << family << " " << code;
            EXPECT_EQ(wrong, 0) << family << " " << code;
        }
    }
    gluDeleteTess(tessellator);
}

// For every glyph of both faces: the filled triangles all face +z and cover exactly the
// area the boundary loops enclose (no cracks, no double cover, holes left open), and
// the whole fits the em.
TEST(FontMeshes, EveryGlyphIsFilledExactlyWithinItsBoundary) {
    GLUtesselator* tessellator = gluNewTess();
    ASSERT_NE(tessellator, nullptr);
    int inked = 0;
    for (const char* family : {"Arial", "Wingdings"}) {
        const FontFace* face =
            FindFontFace(family, FW_BOLD, false, family[0] == 'A' ? ANSI_CHARSET : DEFAULT_CHARSET);
        ASSERT_NE(face, nullptr);
        const double scale = 1.0 / face->Face->units_per_EM;
        for (unsigned code = 0; code < 255; ++code) {
            FT_UInt glyph = FontGlyphOfCode(*face, code);
            if (glyph == 0 ||
                FT_Load_Glyph(face->Face, glyph,
                              FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) {
                continue;
            }
            GlyphMesh mesh;
            ASSERT_TRUE(BuildGlyphMesh(tessellator, face->Face->glyph->outline, scale,
                                       FinestChordalDeviation, &mesh))
                << family << " " << code;
            if (mesh.Triangles.empty()) {
                EXPECT_TRUE(mesh.Loops.empty());
                continue;
            }
            ++inked;
            double filled = 0.0;
            for (std::size_t t = 0; t + 2 < mesh.Triangles.size(); t += 3) {
                double area =
                    SignedArea({mesh.Triangles[t], mesh.Triangles[t + 1], mesh.Triangles[t + 2]});
                EXPECT_GE(area, -1e-9) << family << " " << code << " triangle " << t / 3;
                filled += area;
            }
            double bounded = 0.0;
            for (const auto& loop : mesh.Loops) {
                bounded += SignedArea(loop);
            }
            EXPECT_NEAR(filled, bounded, 1e-4 + 1e-3 * bounded) << family << " " << code;
            EXPECT_GT(bounded, 0.0);
            EXPECT_GT(mesh.MinX, -0.5f);
            EXPECT_LT(mesh.MaxX, 2.0f);
            EXPECT_GT(mesh.MinY, -0.5f);
            EXPECT_LT(mesh.MaxY, 1.5f);
        }
    }
    gluDeleteTess(tessellator);
    EXPECT_GT(inked, 2 * 180);
}

// Curves are flattened finely: every boundary point of an "O" lies on the outline, and
// no chord between neighbours strays more than the tolerance from a circle-like bowl.
TEST(FontMeshes, CurvesAreFlattenedToTheTolerance) {
    const FontFace* face = FindFontFace("Arial", FW_BOLD, false, ANSI_CHARSET);
    ASSERT_NE(face, nullptr);
    ASSERT_EQ(FT_Load_Glyph(face->Face, FontGlyphOfCode(*face, 'O'),
                            FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP),
              0);
    GLUtesselator* tessellator = gluNewTess();
    GlyphMesh fine, coarse;
    const double scale = 1.0 / face->Face->units_per_EM;
    ASSERT_TRUE(BuildGlyphMesh(tessellator, face->Face->glyph->outline, scale,
                               FinestChordalDeviation, &fine));
    ASSERT_TRUE(BuildGlyphMesh(tessellator, face->Face->glyph->outline, scale, 0.02, &coarse));
    gluDeleteTess(tessellator);
    ASSERT_EQ(fine.Loops.size(), 2u); // outside and counter
    ASSERT_EQ(coarse.Loops.size(), 2u);
    // One outer loop runs counter-clockwise, the counter clockwise.
    EXPECT_GT(SignedArea(fine.Loops[0]) * SignedArea(fine.Loops[1]), -1.0);
    EXPECT_TRUE((SignedArea(fine.Loops[0]) > 0) != (SignedArea(fine.Loops[1]) > 0));
    // Ten times the tolerance gives about a third of the points (√10 fewer chords).
    std::size_t finePoints = fine.Loops[0].size() + fine.Loops[1].size();
    std::size_t coarsePoints = coarse.Loops[0].size() + coarse.Loops[1].size();
    EXPECT_GT(finePoints, 2 * coarsePoints);
    EXPECT_GT(finePoints, 60u);
    EXPECT_LT(finePoints, 400u);
    // Its area is that of a far finer flattening, give or take a strip of the tolerance's
    // width along the outline: no chord strays farther.
    GlyphMesh finest;
    tessellator = gluNewTess();
    ASSERT_TRUE(BuildGlyphMesh(tessellator, face->Face->glyph->outline, scale, 0.0001, &finest));
    gluDeleteTess(tessellator);
    double fineArea = SignedArea(fine.Loops[0]) + SignedArea(fine.Loops[1]);
    double finestArea = SignedArea(finest.Loops[0]) + SignedArea(finest.Loops[1]);
    double perimeter = 0.0;
    for (const auto& loop : finest.Loops) {
        for (std::size_t i = 0; i < loop.size(); ++i) {
            const GlyphPoint& a = loop[i];
            const GlyphPoint& b = loop[(i + 1) % loop.size()];
            perimeter += std::hypot(b.X - a.X, b.Y - a.Y);
        }
    }
    EXPECT_NEAR(fineArea, finestArea, FinestChordalDeviation * perimeter);
    // An "O" has no corners: its walls shade smoothly all round.
    for (const auto& loop : fine.Loops) {
        for (const GlyphPoint& p : loop) {
            EXPECT_TRUE(p.Smooth) << p.X << "," << p.Y;
        }
    }
}

} // namespace
