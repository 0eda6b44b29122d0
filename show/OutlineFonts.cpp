// The two outline fonts: built once into display lists at scene set-up, then used to
// draw byte strings as solid 3D glyphs.
#include "show/OutlineFonts.h"

#include <cstring>

#include <GL/gl.h>

#include "platform/Win32Fonts.h"

std::uint32_t TextFontBase = 0;
std::uint32_t SymbolFontBase = 0;

// Kept for whoever watches the strings; the show itself reads nothing of them.
static GLYPHMETRICSFLOAT TextMetrics[256];
static GLYPHMETRICSFLOAT SymbolMetrics[256];
static StringWatcher Watcher = nullptr;

static std::uint32_t BuildOutlineFont(HDC dc, DWORD charSet, const char* faceName,
                                      GLYPHMETRICSFLOAT* metrics) {
    std::uint32_t base = glGenLists(FontListsReserved);
    HFONT font = CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, OUT_TT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, faceName);
    SelectObject(dc, font);
    wglUseFontOutlinesA(dc, 0, FontGlyphsBuilt, base, 0.0f, GlyphExtrusion, WGL_FONT_POLYGONS,
                        metrics);
    return base;
}

void BuildTextFont(HDC dc) {
    TextFontBase = BuildOutlineFont(dc, ANSI_CHARSET, "Arial", TextMetrics);
}

void BuildSymbolFont(HDC dc) {
    SymbolFontBase = BuildOutlineFont(dc, DEFAULT_CHARSET, "Wingdings", SymbolMetrics);
}

void WatchStrings(StringWatcher watcher) {
    Watcher = watcher;
}

static void DrawString(std::uint32_t base, const char* text) {
    if (text == nullptr) {
        return;
    }
    if (Watcher != nullptr) {
        Watcher(text, base == SymbolFontBase ? SymbolMetrics : TextMetrics);
    }
    glPushAttrib(GL_LIST_BIT);
    glListBase(base);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

void DrawTextString(const char* text) {
    DrawString(TextFontBase, text);
}

void DrawSymbolString(const char* text) {
    DrawString(SymbolFontBase, text);
}
