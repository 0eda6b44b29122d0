// make_pictures OUTDIR: draws the show's eleven default pictures into OUTDIR as JPEG
// files. The output depends on nothing but this program and the installed font.
#include <cstdio>
#include <string>

#include "Pictures.h"

namespace {

constexpr int Quality = 90;

using DrawProc = void (*)(Canvas&);

bool Save(const Canvas& canvas, const std::string& dir, const char* name) {
    const std::string path = dir + "/" + name + ".jpg";
    if (!WriteJpeg(canvas, path, Quality)) {
        std::fprintf(stderr, "make_pictures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: make_pictures OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const struct {
        const char* Name;
        DrawProc Draw;
    } pictures[] = {
        {"d0", DrawTiledOrnament}, {"d1", DrawMandelbrot},   {"d2", DrawTunnel},
        {"d3", DrawNewton},        {"d4", DrawStainedGlass}, {"d5", DrawKaleidoscope},
        {"d6", DrawMarble},        {"d7", DrawInterference}, {"r", DrawShimmerTile},
    };
    for (const auto& picture : pictures) {
        Canvas canvas(PictureSize, PictureSize);
        picture.Draw(canvas);
        if (!Save(canvas, dir, picture.Name)) {
            return 1;
        }
    }
    const char* titles[] = {"l1", "l2"};
    for (int which = 0; which < 2; ++which) {
        Canvas canvas(PictureSize, PictureSize);
        std::string error;
        if (!DrawTitleCard(canvas, which, error)) {
            std::fprintf(stderr, "make_pictures: %s\n", error.c_str());
            return 1;
        }
        if (!Save(canvas, dir, titles[which])) {
            return 1;
        }
    }
    return 0;
}
