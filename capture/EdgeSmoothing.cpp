// Edge smoothing at a fraction of the cost of 4 samples everywhere. With a software
// renderer, 4 samples cost most where they do nothing: clearing and resolving every
// sample of the whole frame, and drawing the two full-picture quads (the picture show,
// the shimmer) into all of them. Their insides look the same with one sample; only the
// glyphs and the text, and a quad's own outline, have edges. So each frame the layers run
// once in feedback mode, which draws nothing and tells where everything would go, and the
// picture is cut into rectangles: those with edges are drawn with 4 samples and resolved
// into the frame, the others with one sample, by the quads alone, as nothing else draws
// there. Every rectangle is drawn by every layer that reaches it, in the show's order and
// from the state the layer started the frame with, so each pixel comes out as it does
// with 4 samples everywhere.
#include "capture/Capture.h"

#include <GL/gl.h>

#include <vector>

#include "show/Layers.h"
#include "show/OutlineFonts.h"
#include "show/RenderFrame.h"

EdgeSmoothingCounts EdgeSmoothingDone;

namespace {

// The tiles being marked while the layers run unseen.
EdgeTiles* Marking = nullptr;

// Where a string's glyphs go: each glyph's box, from its metrics, through the matrices
// it is drawn with. (What feedback reports of display lists cannot be relied on: Mesa
// leaves out all but the first draw of a list, here the glyphs' side walls.)
void NoteString(const char* text, const GLYPHMETRICSFLOAT* metrics) {
    if (Marking == nullptr) {
        return;
    }
    double modelview[16];
    double projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double transform[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += projection[k * 4 + r] * modelview[c * 4 + k];
            }
            transform[c * 4 + r] = sum;
        }
    }
    const PictureRect view{viewport[0], viewport[1], viewport[2], viewport[3]};
    float pen = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const GLYPHMETRICSFLOAT& m = metrics[static_cast<unsigned char>(*p)];
        if (m.gmfBlackBoxX > 0 || m.gmfBlackBoxY > 0) {
            const float low[3] = {pen + m.gmfptGlyphOrigin.x, m.gmfptGlyphOrigin.y - m.gmfBlackBoxY,
                                  -GlyphExtrusion};
            const float high[3] = {pen + m.gmfptGlyphOrigin.x + m.gmfBlackBoxX,
                                   m.gmfptGlyphOrigin.y, 0.0f};
            MarkBoxTiles(transform, view, low, high, *Marking);
        }
        pen += m.gmfCellIncX;
    }
}

std::vector<GLfloat> Feedback(std::size_t{1} << 16);
// Beyond this a frame is taken to have edges everywhere.
constexpr std::size_t MostFeedback = std::size_t{1} << 26;

void Scissor(const PictureRect& r) {
    glScissor(r.X, r.Y, r.Width, r.Height);
}

constexpr GLenum RectPlanes[4] = {GL_CLIP_PLANE0, GL_CLIP_PLANE1, GL_CLIP_PLANE2, GL_CLIP_PLANE3};

// Clips what is drawn to the rectangle exactly. With 4 samples llvmpipe's scissor lets
// some samples of the pixels left of and below it through, so a quad added in two
// rectangles that meet (the shimmer) would be added twice there; clipped, the quad ends
// on the pixel border, where no sample lies. Set with the identity modelview matrix: the
// planes are in eye space, from the clip-space planes through the projection.
void ClipToRect(const PictureRect& r, const PictureRect& view) {
    double projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const double x0 = 2.0 * (r.X - view.X) / view.Width - 1;
    const double x1 = 2.0 * (r.X + r.Width - view.X) / view.Width - 1;
    const double y0 = 2.0 * (r.Y - view.Y) / view.Height - 1;
    const double y1 = 2.0 * (r.Y + r.Height - view.Y) / view.Height - 1;
    // Clip-space planes a . (x, y, z, w) >= 0.
    const double planes[4][4] = {{1, 0, 0, -x0}, {-1, 0, 0, x1}, {0, 1, 0, -y0}, {0, -1, 0, y1}};
    glLoadIdentity();
    for (int p = 0; p < 4; ++p) {
        double eye[4];
        for (int j = 0; j < 4; ++j) {
            eye[j] = 0;
            for (int i = 0; i < 4; ++i) {
                eye[j] += planes[p][i] * projection[j * 4 + i];
            }
        }
        glClipPlane(RectPlanes[p], eye);
        glEnable(RectPlanes[p]);
    }
}

void StopClipping() {
    for (GLenum plane : RectPlanes) {
        glDisable(plane);
    }
}

// Leaves feedback mode, the scissor and the clip planes as the show expects them, also when a layer
// throws (the end of the show).
struct RestoreDrawing {
    ~RestoreDrawing() {
        WatchStrings(nullptr);
        Marking = nullptr;
        GLint mode = GL_RENDER;
        glGetIntegerv(GL_RENDER_MODE, &mode);
        if (mode != GL_RENDER) {
            glRenderMode(GL_RENDER);
        }
        glDisable(GL_SCISSOR_TEST);
        StopClipping();
        BindPlainFrame();
    }
};

void DrawLayer(int index, const ShowState& from) {
    SetShowState(from);
    glLoadIdentity();
    ShowLayers[index].Draw();
}

// Runs every layer in feedback mode, noting the state each starts from; returns the
// values written, or -1 when they did not fit. The state is as after the frame.
GLint RunLayersUnseen(ShowState* starts) {
    glFeedbackBuffer(static_cast<GLsizei>(Feedback.size()), GL_2D, Feedback.data());
    glRenderMode(GL_FEEDBACK);
    for (int i = 0; i < ShowLayerCount; ++i) {
        starts[i] = CurrentShowState();
        glPassThrough(static_cast<GLfloat>(i));
        glLoadIdentity();
        ShowLayers[i].Draw();
    }
    return glRenderMode(GL_RENDER);
}

// Draws `rects` into the current frame buffer: cleared, then each layer in order; a quad
// layer one rectangle at a time, a glyph layer once (what it draws lies inside them).
void DrawRects(const std::vector<PictureRect>& rects, const ShowState* starts, bool sampled) {
    const PictureRect view = PictureRectFor(FrameWidth(), FrameHeight());
    glEnable(GL_SCISSOR_TEST);
    for (const PictureRect& r : rects) {
        Scissor(r);
        ClearFrame();
    }
    for (int i = 0; i < ShowLayerCount; ++i) {
        if (ShowLayers[i].SingleQuad) {
            glEnable(GL_SCISSOR_TEST);
            for (const PictureRect& r : rects) {
                Scissor(r);
                if (sampled) {
                    ClipToRect(r, view);
                }
                DrawLayer(i, starts[i]);
            }
            StopClipping();
        } else if (sampled) {
            glDisable(GL_SCISSOR_TEST);
            DrawLayer(i, starts[i]);
        }
    }
    glDisable(GL_SCISSOR_TEST);
}

} // namespace

void DrawFrameSmoothingEdges() {
    RestoreDrawing restore;
    EdgeTiles tiles = UnmarkedTiles(PictureRectFor(FrameWidth(), FrameHeight()));
    const ShowState before = CurrentShowState();
    ShowState starts[ShowLayerCount];
    Marking = &tiles;
    WatchStrings(NoteString);
    GLint used = RunLayersUnseen(starts);
    while (used < 0 && Feedback.size() < MostFeedback) {
        Feedback.resize(Feedback.size() * 4);
        SetShowState(before);
        used = RunLayersUnseen(starts);
    }
    WatchStrings(nullptr);
    Marking = nullptr;
    const ShowState after = CurrentShowState();

    bool singleQuad[ShowLayerCount];
    for (int i = 0; i < ShowLayerCount; ++i) {
        singleQuad[i] = ShowLayers[i].SingleQuad;
    }
    if (used >= 0) {
        MarkEdgeTiles(Feedback.data(), static_cast<std::size_t>(used), singleQuad, ShowLayerCount,
                      tiles);
    } else {
        tiles.Marked.assign(tiles.Marked.size(), 1);
    }
    std::vector<PictureRect> plain;
    std::vector<PictureRect> sampled;
    EdgeSmoothingCounts& done = EdgeSmoothingDone;
    ++done.Frames;
    done.PicturePixels += static_cast<std::uint64_t>(tiles.Picture.Width) * tiles.Picture.Height;
    for (const FrameRect& r : SplitPicture(tiles)) {
        (r.Sampled ? sampled : plain).push_back(r.Rect);
        if (r.Sampled) {
            done.SampledPixels += static_cast<std::uint64_t>(r.Rect.Width) * r.Rect.Height;
        }
    }
    done.Tiles += tiles.Marked.size();
    for (std::uint8_t m : tiles.Marked) {
        done.MarkedTiles += m;
    }
    done.PlainRects += plain.size();
    done.SampledRects += sampled.size();

    BindPlainFrame();
    DrawRects(plain, starts, false);
    if (!sampled.empty()) {
        BindSampledFrame();
        DrawRects(sampled, starts, true);
        for (const PictureRect& r : sampled) {
            ResolveSampledRect(r);
        }
    }
    SetShowState(after);
}
