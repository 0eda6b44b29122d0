// l1, l2: the title cards. The show's name and a second line are set with FreeType in an
// installed face over a night garden of larkspur spikes. The show multiplies the card by
// a rising grey level, so the lettering is the brightest thing on it. Only the middle
// 400 rows or so reach the screen (the card is drawn square and taller than the view),
// so everything that matters sits well inside them.
#include "Pictures.h"

#include <cmath>
#include <cstdint>
#include <mutex>
#include <vector>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include "Noise.h"

namespace {

constexpr float Tau = 6.28318530718f;

// ---- fonts --------------------------------------------------------------------------

std::string MatchFontFile(const char* pattern) {
    // The cards may be drawn on two threads at once; ask fontconfig one at a time.
    static std::mutex lock;
    const std::lock_guard<std::mutex> hold(lock);
    std::string file;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) {
        return file;
    }
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (wanted) {
        FcConfigSubstitute(config, wanted, FcMatchPattern);
        FcDefaultSubstitute(wanted);
        FcResult result = FcResultNoMatch;
        FcPattern* found = FcFontMatch(config, wanted, &result);
        FcChar8* path = nullptr;
        if (found && FcPatternGetString(found, FC_FILE, 0, &path) == FcResultMatch && path) {
            file = reinterpret_cast<const char*>(path);
        }
        if (found) {
            FcPatternDestroy(found);
        }
        FcPatternDestroy(wanted);
    }
    FcConfigDestroy(config);
    return file;
}

// Opens the face fontconfig picks for `pattern`, else the first fixed path that opens.
FT_Face OpenFace(FT_Library library, const char* pattern,
                 std::initializer_list<const char*> paths) {
    FT_Face face = nullptr;
    const std::string matched = MatchFontFile(pattern);
    if (!matched.empty() && FT_New_Face(library, matched.c_str(), 0, &face) == 0) {
        if (FT_IS_SCALABLE(face)) {
            return face;
        }
        FT_Done_Face(face);
        face = nullptr;
    }
    for (const char* path : paths) {
        if (FT_New_Face(library, path, 0, &face) == 0) {
            return face;
        }
    }
    return nullptr;
}

// Coverage (0..1) of a line of text, one float per pixel of the card.
struct Mask {
    int Width, Height;
    std::vector<float> Cover;
    Mask(int w, int h) : Width(w), Height(h), Cover(static_cast<size_t>(w) * h, 0.0f) {}
    float At(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width || y >= Height) {
            return 0;
        }
        return Cover[static_cast<size_t>(y) * Width + x];
    }
};

// Sets `text` centred on centreX with its baseline at baselineY; tracking adds pixels
// between letters. Returns false if the face cannot be sized.
bool SetText(Mask& mask, FT_Face face, const std::u32string& text, int pixels, float centreX,
             int baselineY, int tracking) {
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0) {
        return false;
    }
    const FT_Int32 flags = FT_LOAD_TARGET_LIGHT;
    // Measure first, so the line can be centred.
    long width = 0;
    FT_UInt previous = 0;
    for (char32_t ch : text) {
        const FT_UInt index = FT_Get_Char_Index(face, ch);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern) == 0) {
                width += kern.x;
            }
        }
        if (FT_Load_Glyph(face, index, flags) == 0) {
            width += face->glyph->advance.x + tracking * 64;
        }
        previous = index;
    }
    width -= tracking * 64;
    long penX = std::lround(centreX * 64) - width / 2;
    previous = 0;
    for (char32_t ch : text) {
        const FT_UInt index = FT_Get_Char_Index(face, ch);
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &kern) == 0) {
                penX += kern.x;
            }
        }
        previous = index;
        if (FT_Load_Glyph(face, index, flags) != 0) {
            continue;
        }
        FT_GlyphSlot slot = face->glyph;
        // Place the outline at the sub-pixel pen position before rendering.
        if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline_Translate(&slot->outline, penX & 63, 0);
        }
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
            continue;
        }
        const FT_Bitmap& bitmap = slot->bitmap;
        const int left = static_cast<int>(penX >> 6) + slot->bitmap_left;
        const int top = baselineY - slot->bitmap_top;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.buffer) {
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                for (unsigned col = 0; col < bitmap.width; ++col) {
                    const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
                    if (x < 0 || y < 0 || x >= mask.Width || y >= mask.Height) {
                        continue;
                    }
                    const float a = bitmap.buffer[row * bitmap.pitch + col] / 255.0f;
                    float& cell = mask.Cover[static_cast<size_t>(y) * mask.Width + x];
                    cell = std::max(cell, a);
                }
            }
        }
        penX += slot->advance.x + tracking * 64;
    }
    return true;
}

// ---- painting -----------------------------------------------------------------------

void Blend(Canvas& canvas, int x, int y, Rgb colour, float alpha) {
    if (x < 0 || y < 0 || x >= canvas.Width || y >= canvas.Height || alpha <= 0) {
        return;
    }
    Rgb& c = canvas.At(x, y);
    c = Mix(c, colour, Clamp01(alpha));
}

void AddLight(Canvas& canvas, int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= canvas.Width || y >= canvas.Height) {
        return;
    }
    canvas.At(x, y) = canvas.At(x, y) + colour;
}

// A soft disc of light, as an out-of-focus point would give.
void Bokeh(Canvas& canvas, float cx, float cy, float radius, Rgb colour) {
    const int r = static_cast<int>(radius) + 2;
    for (int y = static_cast<int>(cy) - r; y <= static_cast<int>(cy) + r; ++y) {
        for (int x = static_cast<int>(cx) - r; x <= static_cast<int>(cx) + r; ++x) {
            const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy);
            const float disc = SmoothStep(radius + 1, radius - 1, d);
            const float rim = 0.6f + 0.4f * SmoothStep(radius * 0.5f, radius, d);
            AddLight(canvas, x, y, colour * (disc * rim));
        }
    }
}

// One five-petalled larkspur floret seen from the front.
void Floret(Canvas& canvas, float cx, float cy, float radius, float turn, Rgb petal, float fade) {
    const int r = static_cast<int>(radius) + 2;
    for (int y = static_cast<int>(cy) - r; y <= static_cast<int>(cy) + r; ++y) {
        for (int x = static_cast<int>(cx) - r; x <= static_cast<int>(cx) + r; ++x) {
            float cover = 0;
            Rgb colour;
            for (int s = 0; s < 4; ++s) {
                const float sx = x + 0.25f + 0.5f * (s & 1) - cx;
                const float sy = y + 0.25f + 0.5f * (s >> 1) - cy;
                const float d = std::hypot(sx, sy);
                const float a = std::atan2(sy, sx) + turn;
                const float lobe = std::pow(std::abs(std::cos(a * 2.5f)), 0.7f);
                const float edge = radius * (0.5f + 0.5f * lobe);
                if (d < edge) {
                    cover += 0.25f;
                    const float k = d / radius;
                    Rgb c = Mix(petal * 1.25f, petal * 0.7f, SmoothStep(0.2f, 1.0f, k));
                    if (k < 0.2f) {
                        c = Mix({1.0f, 0.95f, 0.8f}, c, SmoothStep(0.08f, 0.2f, k));
                    }
                    colour = colour + c * 0.25f;
                }
            }
            if (cover > 0) {
                Blend(canvas, x, y, colour * (1.0f / cover) * fade, cover);
            }
        }
    }
}

// A larkspur spike: a gently curved stem with florets that shrink towards its tip.
void Spike(Canvas& canvas, float baseX, float baseY, float height, float lean, float size,
           Rgb petal, float fade, std::uint32_t seed) {
    const int florets = 16;
    for (int s = 0; s <= 200; ++s) {
        const float t = s / 200.0f;
        const float x = baseX + lean * t * t * height;
        const float y = baseY - t * height;
        for (int w = -1; w <= 1; ++w) {
            Blend(canvas, static_cast<int>(x) + w, static_cast<int>(y),
                  Rgb{0.1f, 0.3f, 0.2f} * fade, 0.7f);
        }
    }
    for (int i = florets - 1; i >= 0; --i) {
        const float t = 0.15f + 0.85f * i / florets;
        const float side = (i & 1) ? 1.0f : -1.0f;
        const float x = baseX + lean * t * t * height + side * size * 0.45f * (1 - t);
        const float y = baseY - t * height;
        const float radius = size * (1.0f - 0.75f * t) * (0.85f + 0.3f * HashUnit(i, 0, seed));
        const Rgb tint = Mix(petal, Rgb{0.75f, 0.45f, 1.0f}, 0.5f * HashUnit(i, 1, seed));
        Floret(canvas, x, y, radius, HashUnit(i, 2, seed) * Tau, tint, fade);
    }
}

void NightSky(Canvas& canvas, Rgb top, Rgb middle, Rgb bottom, std::uint32_t seed) {
    for (int y = 0; y < canvas.Height; ++y) {
        const float t = y / static_cast<float>(canvas.Height - 1);
        const Rgb base =
            t < 0.55f ? Mix(top, middle, t / 0.55f) : Mix(middle, bottom, (t - 0.55f) / 0.45f);
        for (int x = 0; x < canvas.Width; ++x) {
            const float n = PeriodicFbm(x / 128.0f, y / 128.0f, 64, 4, seed);
            canvas.At(x, y) = base * (1.0f + 0.35f * n);
        }
    }
    // A scatter of faint stars in the upper sky.
    for (int i = 0; i < 90; ++i) {
        const float x = HashUnit(i, 0, seed + 1) * canvas.Width;
        const float y = HashUnit(i, 1, seed + 1) * canvas.Height * 0.6f;
        const float b = 0.15f + 0.5f * HashUnit(i, 2, seed + 1) * HashUnit(i, 3, seed + 1);
        Bokeh(canvas, x, y, 0.8f, Rgb{0.9f, 0.9f, 1.0f} * b);
    }
}

// Lettering: a soft dark shadow to lift it off the garden, a coloured glow, then the
// letters filled with a vertical gradient.
void Letter(Canvas& canvas, const Mask& mask, int top, int bottom, Rgb upper, Rgb lower, Rgb glow,
            int glowRadius) {
    std::vector<float> shadow = mask.Cover;
    BlurPlane(shadow, mask.Width, mask.Height, 4, false);
    std::vector<float> halo = mask.Cover;
    BlurPlane(halo, mask.Width, mask.Height, glowRadius, false);
    for (int y = 0; y < canvas.Height; ++y) {
        for (int x = 0; x < canvas.Width; ++x) {
            const size_t i = static_cast<size_t>(y) * canvas.Width + x;
            Rgb& c = canvas.Pixels[i];
            const int sx = std::max(0, x - 3), sy = std::max(0, y - 4);
            c = c *
                (1.0f - 0.75f * Clamp01(2.0f * shadow[static_cast<size_t>(sy) * mask.Width + sx]));
            c = c + glow * (1.6f * halo[i]);
            const float t = Clamp01((y - top) / static_cast<float>(std::max(1, bottom - top)));
            c = Mix(c, Mix(upper, lower, t), mask.Cover[i]);
        }
    }
}

} // namespace

bool DrawTitleCard(Canvas& canvas, int which, std::string& error) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        error = "cannot start FreeType";
        return false;
    }
    FT_Face title =
        OpenFace(library, "Liberation Serif:style=Bold Italic",
                 {"/usr/share/fonts/truetype/liberation2/LiberationSerif-BoldItalic.ttf",
                  "/usr/share/fonts/truetype/liberation/LiberationSerif-BoldItalic.ttf",
                  "/usr/share/fonts/truetype/dejavu/DejaVuSerif-BoldItalic.ttf"});
    FT_Face line = OpenFace(library, "Liberation Sans:style=Regular",
                            {"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
                             "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
                             "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"});
    bool ok = title && line;
    if (!ok) {
        error = "no usable font face found (install fonts-liberation2)";
    }
    const int w = canvas.Width, h = canvas.Height;
    if (ok && which == 0) {
        NightSky(canvas, {0.02f, 0.02f, 0.08f}, {0.09f, 0.06f, 0.24f}, {0.24f, 0.1f, 0.36f}, 61u);
        for (int i = 0; i < 40; ++i) {
            const float x = HashUnit(i, 0, 62u) * w, y = (0.3f + 0.7f * HashUnit(i, 1, 62u)) * h;
            const float r = 4 + 14 * HashUnit(i, 2, 62u);
            Bokeh(canvas, x, y, r, Rgb{0.35f, 0.3f, 0.7f} * (0.06f + 0.08f * HashUnit(i, 3, 62u)));
        }
        // Far spikes, dim and blue, then near ones at the edges of the card.
        for (int i = 0; i < 9; ++i) {
            const float x = 20 + i * 59 + 20 * HashUnit(i, 0, 63u);
            Spike(canvas, x, h * (0.98f + 0.04f * HashUnit(i, 1, 63u)),
                  h * (0.22f + 0.1f * HashUnit(i, 2, 63u)), 0.1f * (HashUnit(i, 3, 63u) - 0.5f), 11,
                  {0.3f, 0.35f, 0.85f}, 0.65f, 64u + i);
        }
        // Mist over the ground, lit faintly from below.
        for (int y = h / 2; y < h; ++y) {
            const float mist = 0.12f * SmoothStep(0.6f, 1.0f, y / static_cast<float>(h));
            for (int x = 0; x < w; ++x) {
                canvas.At(x, y) = canvas.At(x, y) + Rgb{0.5f, 0.35f, 0.75f} * mist;
            }
        }
        Spike(canvas, 34, h * 1.02f, h * 0.44f, 0.1f, 17, {0.35f, 0.42f, 1.0f}, 1.0f, 70u);
        Spike(canvas, 82, h * 1.05f, h * 0.36f, -0.05f, 15, {0.55f, 0.35f, 1.0f}, 0.9f, 71u);
        Spike(canvas, 480, h * 1.02f, h * 0.45f, -0.1f, 17, {0.45f, 0.38f, 1.0f}, 1.0f, 72u);
        Spike(canvas, 430, h * 1.06f, h * 0.35f, 0.06f, 14, {0.32f, 0.45f, 0.95f}, 0.9f, 73u);

        Mask name(w, h), tagline(w, h);
        ok = SetText(name, title, U"Larkspur", 118, w / 2.0f, 262, 0) &&
             SetText(tagline, line, U"EIGHTY-FOUR SECONDS OF LIGHT", 19, w / 2.0f, 320, 3);
        Letter(canvas, name, 180, 270, {1.0f, 0.98f, 0.9f}, {1.0f, 0.78f, 0.45f},
               {0.6f, 0.35f, 0.85f}, 10);
        Letter(canvas, tagline, 300, 322, {0.9f, 0.88f, 1.0f}, {0.8f, 0.78f, 1.0f},
               {0.3f, 0.25f, 0.6f}, 5);
    } else if (ok) {
        NightSky(canvas, {0.05f, 0.02f, 0.12f}, {0.25f, 0.08f, 0.3f}, {0.55f, 0.2f, 0.3f}, 81u);
        // A low moon behind the name.
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const float d = std::hypot(x - w * 0.5f, y - h * 0.47f);
                const float disc = SmoothStep(112, 108, d);
                const float halo = std::exp(-std::max(0.0f, d - 108) / 40.0f) * 0.35f;
                const float n = PeriodicFbm(x / 60.0f, y / 60.0f, 64, 4, 82u);
                Rgb moon = Rgb{1.0f, 0.78f, 0.64f} * (0.66f + 0.06f * n);
                canvas.At(x, y) = Mix(canvas.At(x, y), moon, disc) + Rgb{0.6f, 0.3f, 0.35f} * halo;
            }
        }
        for (int i = 0; i < 14; ++i) {
            const float x = 10 + i * 38 + 16 * HashUnit(i, 0, 83u);
            Spike(canvas, x, h * (0.97f + 0.05f * HashUnit(i, 1, 83u)),
                  h * (0.25f + 0.2f * HashUnit(i, 2, 83u)), 0.15f * (HashUnit(i, 3, 83u) - 0.5f),
                  11 + 5 * HashUnit(i, 4, 83u), {0.35f, 0.3f, 0.9f}, 0.85f, 90u + i);
        }
        Mask name(w, h), tagline(w, h);
        ok = SetText(name, title, U"Larkspur", 118, w / 2.0f, 262, 0) &&
             SetText(tagline, line, U"TURN THE MUSIC UP", 24, w / 2.0f, 116, 6);
        Letter(canvas, name, 180, 270, {1.0f, 1.0f, 1.0f}, {0.85f, 0.9f, 1.0f}, {0.35f, 0.2f, 0.6f},
               8);
        Letter(canvas, tagline, 96, 116, {1.0f, 0.95f, 0.85f}, {1.0f, 0.85f, 0.7f},
               {0.5f, 0.3f, 0.3f}, 5);
        if (!ok) {
            error = "cannot size the title lettering";
        }
    }
    if (title) {
        FT_Done_Face(title);
    }
    if (line) {
        FT_Done_Face(line);
    }
    FT_Done_FreeType(library);
    return ok;
}
