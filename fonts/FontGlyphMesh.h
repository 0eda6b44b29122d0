// One glyph outline turned into the parts of a solid 3D glyph: the triangles of its
// filled face and the closed boundary loops its side walls stand on.
#pragma once

#include <vector>

#include <GL/glu.h>
#include <ft2build.h>
#include FT_FREETYPE_H

struct GlyphPoint {
    float X;
    float Y;
    bool Smooth; // inside a curve: the wall's normal runs on smoothly through this point
};

struct GlyphMesh {
    // Filled face, three points per triangle, counter-clockwise seen from +z.
    std::vector<GlyphPoint> Triangles;
    // Boundaries between filled and empty, the filled side on the left of the direction
    // of travel (outer loops counter-clockwise, holes clockwise); overlaps resolved.
    std::vector<std::vector<GlyphPoint>> Loops;
    float MinX = 0.0f;
    float MinY = 0.0f;
    float MaxX = 0.0f;
    float MaxY = 0.0f;
};

// Curves are flattened so that no point of a curve lies farther than `tolerance` from
// the chords that stand for it. `scale` turns the outline's units into the mesh's
// (1 / units per em for em units); the tolerance is in the mesh's units. Filled by the
// non-zero winding rule. Returns false if the tessellator failed (the mesh is then empty).
bool BuildGlyphMesh(GLUtesselator* tessellator, const FT_Outline& outline, double scale,
                    double tolerance, GlyphMesh* mesh);
