// Glyph outline → filled face and boundary loops: FreeType walks the outline, curves
// are flattened by subdivision counts taken from their second differences, and the GLU
// tessellator fills by the non-zero rule and traces the resolved boundary.
#include "fonts/FontGlyphMesh.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <cmath>
#include <deque>

#include FT_OUTLINE_H

namespace {

struct TessVertex {
    GLdouble Coords[3];
    bool Smooth;
    // Directions of the outline arriving at and leaving an end point of a segment (zero
    // where not known): a corner is where they differ.
    double In[2];
    double Out[2];
};

struct OutlineWalk {
    std::vector<std::vector<TessVertex>> Contours;
    double Scale = 1.0;
    double Tolerance = 0.001;
    double X = 0.0;
    double Y = 0.0;
};

struct TessState {
    GlyphMesh* Mesh = nullptr;
    bool BoundaryOnly = false;
    bool Failed = false;
    std::deque<TessVertex> Crossings;
};

// Segments that meet with directions closer than this are one smooth curve; fonts join
// their curves with matching tangents, so only real corners exceed it.
const double SmoothJoinCosine = std::cos(10.0 * 3.14159265358979 / 180.0);
// Upper bound of chords per curve, whatever the tolerance: guards against absurd outlines.
constexpr int MaxChordsPerCurve = 256;

void AddPoint(OutlineWalk* walk, double x, double y, bool smooth) {
    if (walk->Contours.empty()) {
        walk->Contours.emplace_back();
    }
    walk->Contours.back().push_back(TessVertex{{x, y, 0.0}, smooth, {0.0, 0.0}, {0.0, 0.0}});
    walk->X = x;
    walk->Y = y;
}

// A segment leaves the current point in direction (dx, dy)…
void Leave(OutlineWalk* walk, double dx, double dy) {
    if (!walk->Contours.empty() && !walk->Contours.back().empty()) {
        TessVertex& v = walk->Contours.back().back();
        v.Out[0] = dx;
        v.Out[1] = dy;
    }
}

// …and arrives at its end point in direction (dx, dy).
void Arrive(OutlineWalk* walk, double x, double y, double dx, double dy) {
    AddPoint(walk, x, y, false);
    TessVertex& v = walk->Contours.back().back();
    v.In[0] = dx;
    v.In[1] = dy;
}

// The first of the differences that is not zero: a curve's end direction when a control
// point sits on the end point.
void FirstDirection(std::initializer_list<std::array<double, 2>> candidates, double* dx,
                    double* dy) {
    *dx = 0.0;
    *dy = 0.0;
    for (const auto& c : candidates) {
        if (c[0] != 0.0 || c[1] != 0.0) {
            *dx = c[0];
            *dy = c[1];
            return;
        }
    }
}

int ChordCount(double secondDifference, double factor, double tolerance) {
    // A polynomial curve split evenly into n pieces strays from its chords by at most
    // factor × |second difference| / n².
    double n = std::ceil(std::sqrt(factor * secondDifference / tolerance));
    if (!(n >= 1.0)) {
        return 1;
    }
    return static_cast<int>(std::min(n, static_cast<double>(MaxChordsPerCurve)));
}

int MoveTo(const FT_Vector* to, void* user) {
    auto* walk = static_cast<OutlineWalk*>(user);
    walk->Contours.emplace_back();
    AddPoint(walk, to->x * walk->Scale, to->y * walk->Scale, false);
    return 0;
}

int LineTo(const FT_Vector* to, void* user) {
    auto* walk = static_cast<OutlineWalk*>(user);
    double x = to->x * walk->Scale, y = to->y * walk->Scale;
    Leave(walk, x - walk->X, y - walk->Y);
    Arrive(walk, x, y, x - walk->X, y - walk->Y);
    return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* walk = static_cast<OutlineWalk*>(user);
    double x0 = walk->X, y0 = walk->Y;
    double x1 = control->x * walk->Scale, y1 = control->y * walk->Scale;
    double x2 = to->x * walk->Scale, y2 = to->y * walk->Scale;
    double dx, dy;
    FirstDirection({{x1 - x0, y1 - y0}, {x2 - x0, y2 - y0}}, &dx, &dy);
    Leave(walk, dx, dy);
    double dd = std::hypot(x0 - 2 * x1 + x2, y0 - 2 * y1 + y2);
    int n = ChordCount(dd, 0.25, walk->Tolerance);
    for (int i = 1; i < n; ++i) {
        double t = static_cast<double>(i) / n, u = 1.0 - t;
        AddPoint(walk, u * u * x0 + 2 * u * t * x1 + t * t * x2,
                 u * u * y0 + 2 * u * t * y1 + t * t * y2, true);
    }
    FirstDirection({{x2 - x1, y2 - y1}, {x2 - x0, y2 - y0}}, &dx, &dy);
    Arrive(walk, x2, y2, dx, dy);
    return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
    auto* walk = static_cast<OutlineWalk*>(user);
    double x0 = walk->X, y0 = walk->Y;
    double x1 = control1->x * walk->Scale, y1 = control1->y * walk->Scale;
    double x2 = control2->x * walk->Scale, y2 = control2->y * walk->Scale;
    double x3 = to->x * walk->Scale, y3 = to->y * walk->Scale;
    double dx, dy;
    FirstDirection({{x1 - x0, y1 - y0}, {x2 - x0, y2 - y0}, {x3 - x0, y3 - y0}}, &dx, &dy);
    Leave(walk, dx, dy);
    double dd = std::max(std::hypot(x0 - 2 * x1 + x2, y0 - 2 * y1 + y2),
                         std::hypot(x1 - 2 * x2 + x3, y1 - 2 * y2 + y3));
    int n = ChordCount(dd, 0.75, walk->Tolerance);
    for (int i = 1; i < n; ++i) {
        double t = static_cast<double>(i) / n, u = 1.0 - t;
        double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        AddPoint(walk, a * x0 + b * x1 + c * x2 + d * x3, a * y0 + b * y1 + c * y2 + d * y3, true);
    }
    FirstDirection({{x3 - x2, y3 - y2}, {x3 - x1, y3 - y1}, {x3 - x0, y3 - y0}}, &dx, &dy);
    Arrive(walk, x3, y3, dx, dy);
    return 0;
}

bool SamePlace(const TessVertex& a, const TessVertex& b) {
    return a.Coords[0] == b.Coords[0] && a.Coords[1] == b.Coords[1];
}

// Two points at one place become one: it arrives as the first did and leaves as the
// second does.
void Merge(TessVertex* first, const TessVertex& second) {
    first->Smooth = first->Smooth && second.Smooth;
    if (second.Out[0] != 0.0 || second.Out[1] != 0.0) {
        first->Out[0] = second.Out[0];
        first->Out[1] = second.Out[1];
    }
}

// Drops repeated points and the closing repeat of the first, marks smooth joins, and
// drops contours that enclose nothing.
void CleanContours(std::vector<std::vector<TessVertex>>* contours) {
    std::vector<std::vector<TessVertex>> cleaned;
    for (auto& contour : *contours) {
        std::vector<TessVertex> points;
        for (const TessVertex& v : contour) {
            if (!points.empty() && SamePlace(points.back(), v)) {
                Merge(&points.back(), v);
                continue;
            }
            points.push_back(v);
        }
        while (points.size() > 1 && SamePlace(points.back(), points.front())) {
            TessVertex closing = points.back();
            points.pop_back();
            Merge(&closing, points.front());
            points.front() = closing;
        }
        if (points.size() < 3) {
            continue;
        }
        for (TessVertex& v : points) {
            if (v.Smooth) {
                continue;
            }
            double lengths = std::hypot(v.In[0], v.In[1]) * std::hypot(v.Out[0], v.Out[1]);
            v.Smooth = lengths > 0.0 &&
                       (v.In[0] * v.Out[0] + v.In[1] * v.Out[1]) / lengths > SmoothJoinCosine;
        }
        cleaned.push_back(std::move(points));
    }
    *contours = std::move(cleaned);
}

void GLAPIENTRY TessBegin(GLenum, void* data) {
    auto* state = static_cast<TessState*>(data);
    if (state->BoundaryOnly) {
        state->Mesh->Loops.emplace_back();
    }
}

void GLAPIENTRY TessVertexCallback(void* vertex, void* data) {
    auto* state = static_cast<TessState*>(data);
    const auto* v = static_cast<const TessVertex*>(vertex);
    GlyphPoint point{static_cast<float>(v->Coords[0]), static_cast<float>(v->Coords[1]), v->Smooth};
    if (state->BoundaryOnly) {
        if (!state->Mesh->Loops.empty()) {
            state->Mesh->Loops.back().push_back(point);
        }
    } else {
        state->Mesh->Triangles.push_back(point);
    }
}

void GLAPIENTRY TessEnd(void*) {}

// Present only so that the tessellator hands out separate triangles, never fans or strips.
void GLAPIENTRY TessEdgeFlag(GLboolean, void*) {}

void GLAPIENTRY TessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* data) {
    auto* state = static_cast<TessState*>(data);
    state->Crossings.push_back(TessVertex{{coords[0], coords[1], 0.0}, false, {0, 0}, {0, 0}});
    *out = &state->Crossings.back();
}

void GLAPIENTRY TessError(GLenum, void* data) {
    static_cast<TessState*>(data)->Failed = true;
}

using TessCallback = void(GLAPIENTRY*)();

void Tessellate(GLUtesselator* tessellator, std::vector<std::vector<TessVertex>>* contours,
                TessState* state) {
    gluTessProperty(tessellator, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessProperty(tessellator, GLU_TESS_BOUNDARY_ONLY, state->BoundaryOnly ? GL_TRUE : GL_FALSE);
    gluTessNormal(tessellator, 0.0, 0.0, 1.0);
    gluTessCallback(tessellator, GLU_TESS_BEGIN_DATA, reinterpret_cast<TessCallback>(TessBegin));
    gluTessCallback(tessellator, GLU_TESS_VERTEX_DATA,
                    reinterpret_cast<TessCallback>(TessVertexCallback));
    gluTessCallback(tessellator, GLU_TESS_END_DATA, reinterpret_cast<TessCallback>(TessEnd));
    gluTessCallback(tessellator, GLU_TESS_EDGE_FLAG_DATA,
                    reinterpret_cast<TessCallback>(TessEdgeFlag));
    gluTessCallback(tessellator, GLU_TESS_COMBINE_DATA,
                    reinterpret_cast<TessCallback>(TessCombine));
    gluTessCallback(tessellator, GLU_TESS_ERROR_DATA, reinterpret_cast<TessCallback>(TessError));
    gluTessBeginPolygon(tessellator, state);
    for (auto& contour : *contours) {
        gluTessBeginContour(tessellator);
        for (TessVertex& v : contour) {
            gluTessVertex(tessellator, v.Coords, &v);
        }
        gluTessEndContour(tessellator);
    }
    gluTessEndPolygon(tessellator);
}

} // namespace

bool BuildGlyphMesh(GLUtesselator* tessellator, const FT_Outline& outline, double scale,
                    double tolerance, GlyphMesh* mesh) {
    *mesh = GlyphMesh{};
    if (tessellator == nullptr || outline.n_points <= 0 || outline.n_contours <= 0) {
        return tessellator != nullptr;
    }
    OutlineWalk walk;
    walk.Scale = scale;
    walk.Tolerance = tolerance > 0.0 ? tolerance : 0.001;
    FT_Outline_Funcs funcs = {};
    funcs.move_to = MoveTo;
    funcs.line_to = LineTo;
    funcs.conic_to = ConicTo;
    funcs.cubic_to = CubicTo;
    FT_Outline copy = outline; // the walk reads it only; the cast is for FreeType's signature
    if (FT_Outline_Decompose(&copy, &funcs, &walk) != 0) {
        return false;
    }
    CleanContours(&walk.Contours);
    if (walk.Contours.empty()) {
        return true;
    }

    bool first = true;
    for (const auto& contour : walk.Contours) {
        for (const TessVertex& v : contour) {
            float x = static_cast<float>(v.Coords[0]), y = static_cast<float>(v.Coords[1]);
            mesh->MinX = first ? x : std::min(mesh->MinX, x);
            mesh->MaxX = first ? x : std::max(mesh->MaxX, x);
            mesh->MinY = first ? y : std::min(mesh->MinY, y);
            mesh->MaxY = first ? y : std::max(mesh->MaxY, y);
            first = false;
        }
    }

    TessState fill;
    fill.Mesh = mesh;
    Tessellate(tessellator, &walk.Contours, &fill);
    TessState boundary;
    boundary.Mesh = mesh;
    boundary.BoundaryOnly = true;
    Tessellate(tessellator, &walk.Contours, &boundary);
    std::erase_if(mesh->Loops, [](const std::vector<GlyphPoint>& loop) { return loop.size() < 3; });
    if (fill.Failed || boundary.Failed || mesh->Triangles.size() % 3 != 0) {
        *mesh = GlyphMesh{};
        return false;
    }
    return true;
}
