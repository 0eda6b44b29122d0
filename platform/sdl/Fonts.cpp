// CreateFontA, SelectObject and wglUseFontOutlinesA for the outline fonts: a font is a
// description, selecting it into a device context remembers it there, and building the
// outlines turns each code's glyph into a display list of a solid, lit 3D glyph.
#include <cmath>
#include <map>
#include <memory>
#include <vector>

#include <GL/gl.h>
#include <GL/glu.h>

#include "fonts/FontFaces.h"
#include "fonts/FontGlyphMesh.h"
#include "platform/Win32Fonts.h"
#include "platform/sdl/Fonts.h"

namespace {

struct FontDescription {
    int Height;
    int Width;
    int Weight;
    bool Italic;
    DWORD CharSet;
    std::string FaceName;
};

std::vector<std::unique_ptr<FontDescription>> Fonts;
std::map<HDC, HGDIOBJ> SelectedObjects;

const FontDescription* FontOf(HGDIOBJ object) {
    for (const auto& font : Fonts) {
        if (reinterpret_cast<HGDIOBJ>(font.get()) == object) {
            return font.get();
        }
    }
    return nullptr;
}

const FontFace* FaceOf(const FontDescription* font) {
    if (font == nullptr) {
        return nullptr;
    }
    return FindFontFace(font->FaceName, font->Weight, font->Italic, font->CharSet);
}

// A join of two wall edges whose normals differ by less than this keeps a shared normal.
// The smooth flag of the point already says whether the outline is smooth there; the
// guard only keeps a cusp from averaging to nothing.
constexpr float MinNormalLength = 1e-6f;

struct Normal2 {
    float X;
    float Y;
};

Normal2 Normalised(float x, float y, Normal2 fallback) {
    float length = std::sqrt(x * x + y * y);
    if (length < MinNormalLength) {
        return fallback;
    }
    return Normal2{x / length, y / length};
}

// Interleaved normal and position of one vertex, as GL_N3F_V3F wants them.
struct ListVertex {
    float Normal[3];
    float Position[3];
};

void Put(std::vector<ListVertex>* out, const Normal2& n, float x, float y, float z) {
    out->push_back(ListVertex{{n.X, n.Y, 0.0f}, {x, y, z}});
}

// Side walls between front (z = 0) and back (z = −depth): one quad per boundary edge,
// counter-clockwise seen from outside, normals pointing away from the filled side. Where
// the outline is smooth the neighbouring quads share a normal, so curves shade smoothly.
void AddWalls(const std::vector<GlyphPoint>& loop, float depth, std::vector<ListVertex>* out) {
    std::size_t count = loop.size();
    std::vector<Normal2> edgeNormals(count);
    Normal2 last{0.0f, 0.0f};
    for (std::size_t i = 0; i < count; ++i) {
        const GlyphPoint& a = loop[i];
        const GlyphPoint& b = loop[(i + 1) % count];
        // The filled side is on the left of the direction of travel: outward is right.
        last = Normalised(b.Y - a.Y, a.X - b.X, last);
        edgeNormals[i] = last;
    }
    std::vector<Normal2> pointNormals(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Normal2& before = edgeNormals[(i + count - 1) % count];
        const Normal2& after = edgeNormals[i];
        pointNormals[i] = Normalised(before.X + after.X, before.Y + after.Y, after);
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t j = (i + 1) % count;
        const GlyphPoint& a = loop[i];
        const GlyphPoint& b = loop[j];
        const Normal2& na = a.Smooth ? pointNormals[i] : edgeNormals[i];
        const Normal2& nb = b.Smooth ? pointNormals[j] : edgeNormals[i];
        Put(out, na, a.X, a.Y, 0.0f);
        Put(out, na, a.X, a.Y, -depth);
        Put(out, nb, b.X, b.Y, -depth);
        Put(out, nb, b.X, b.Y, 0.0f);
    }
}

// The list of one glyph: its faces and walls drawn from arrays (the list keeps copies of
// the vertices, and compiling a few array draws is far quicker than thousands of single
// vertex calls), then the move to the next glyph.
void CompileGlyphList(GLuint list, const GlyphMesh* mesh, float depth, float advance,
                      std::vector<ListVertex>* faces, std::vector<ListVertex>* walls) {
    faces->clear();
    walls->clear();
    if (mesh != nullptr && !mesh->Triangles.empty()) {
        const auto& triangles = mesh->Triangles;
        for (const GlyphPoint& p : triangles) {
            faces->push_back(ListVertex{{0.0f, 0.0f, 1.0f}, {p.X, p.Y, 0.0f}});
        }
        // The back face is the front mirrored: each triangle's order reversed.
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
            for (std::size_t k : {t, t + 2, t + 1}) {
                faces->push_back(
                    ListVertex{{0.0f, 0.0f, -1.0f}, {triangles[k].X, triangles[k].Y, -depth}});
            }
        }
        if (depth != 0.0f) {
            for (const auto& loop : mesh->Loops) {
                AddWalls(loop, depth, walls);
            }
        }
    }
    glNewList(list, GL_COMPILE);
    if (!faces->empty()) {
        glInterleavedArrays(GL_N3F_V3F, 0, faces->data());
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(faces->size()));
    }
    if (!walls->empty()) {
        glInterleavedArrays(GL_N3F_V3F, 0, walls->data());
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(walls->size()));
    }
    glTranslatef(advance, 0.0f, 0.0f);
    glEndList();
}

} // namespace

HFONT CreateFontA(int height, int width, int, int, int weight, DWORD italic, DWORD, DWORD,
                  DWORD charSet, DWORD, DWORD, DWORD, DWORD, const char* faceName) {
    auto font = std::make_unique<FontDescription>(FontDescription{
        height, width, weight, italic != 0, charSet, faceName != nullptr ? faceName : ""});
    HFONT handle = reinterpret_cast<HFONT>(font.get());
    Fonts.push_back(std::move(font));
    return handle;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (FontOf(object) == nullptr) {
        return nullptr;
    }
    HGDIOBJ& slot = SelectedObjects[dc];
    HGDIOBJ previous = slot;
    slot = object;
    return previous;
}

std::string FontFaceFile(HFONT font) {
    const FontFace* face = FaceOf(FontOf(font));
    return face != nullptr ? face->FilePath : std::string();
}

char32_t FontCharacterOfCode(HFONT font, unsigned code) {
    const FontFace* face = FaceOf(FontOf(font));
    return face != nullptr ? FontCharacterOfCode(*face, code) : 0;
}

BOOL wglUseFontOutlinesA(HDC dc, DWORD first, DWORD count, DWORD listBase, float deviation,
                         float extrusion, int format, GLYPHMETRICSFLOAT* metrics) {
    auto selected = SelectedObjects.find(dc);
    const FontDescription* font =
        selected != SelectedObjects.end() ? FontOf(selected->second) : nullptr;
    if (font == nullptr || format != WGL_FONT_POLYGONS || count == 0 || listBase == 0 ||
        count > 0xFFFFFFFFu - listBase || count > 0xFFFFFFFFu - first) {
        return FALSE;
    }
    const FontFace* face = FaceOf(font);
    if (face == nullptr) {
        // No face: lists that draw nothing, so that strings of this font are harmless.
        for (DWORD i = 0; i < count; ++i) {
            glNewList(listBase + i, GL_COMPILE);
            glEndList();
            if (metrics != nullptr) {
                metrics[i] = GLYPHMETRICSFLOAT{};
            }
        }
        return FALSE;
    }

    FT_Face ft = face->Face;
    const double scale = 1.0 / ft->units_per_EM;
    const double tolerance =
        deviation > FinestChordalDeviation ? deviation : FinestChordalDeviation;
    const FT_Int32 loadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP;
    float defaultAdvance = 0.0f;
    if (FT_Load_Glyph(ft, 0, loadFlags) == 0) {
        defaultAdvance = static_cast<float>(ft->glyph->metrics.horiAdvance * scale);
    }

    // The arrays are client state: set for the build, put back afterwards.
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    GLUtesselator* tessellator = gluNewTess();
    GlyphMesh mesh;
    std::vector<ListVertex> faces;
    std::vector<ListVertex> walls;
    for (DWORD i = 0; i < count; ++i) {
        DWORD code = first + i;
        FT_UInt glyph = code <= 0xFF ? FontGlyphOfCode(*face, code) : 0;
        float advance = defaultAdvance;
        bool drawn = false;
        if (glyph != 0 && FT_Load_Glyph(ft, glyph, loadFlags) == 0) {
            advance = static_cast<float>(ft->glyph->metrics.horiAdvance * scale);
            if (ft->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
                drawn = BuildGlyphMesh(tessellator, ft->glyph->outline, scale, tolerance, &mesh);
            }
        }
        CompileGlyphList(listBase + i, drawn ? &mesh : nullptr, extrusion, advance, &faces, &walls);
        if (metrics != nullptr) {
            GLYPHMETRICSFLOAT& m = metrics[i];
            bool inked = drawn && !mesh.Triangles.empty();
            m.gmfBlackBoxX = inked ? mesh.MaxX - mesh.MinX : 0.0f;
            m.gmfBlackBoxY = inked ? mesh.MaxY - mesh.MinY : 0.0f;
            m.gmfptGlyphOrigin = POINTFLOAT{inked ? mesh.MinX : 0.0f, inked ? mesh.MaxY : 0.0f};
            m.gmfCellIncX = advance;
            m.gmfCellIncY = 0.0f;
        }
    }
    if (tessellator != nullptr) {
        gluDeleteTess(tessellator);
    }
    glPopClientAttrib();
    return TRUE;
}
