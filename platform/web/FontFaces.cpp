// The two faces of the page, preloaded with its data: a family is served by the face the
// desktop's fontconfig binds to it (Liberation Sans for Arial), and Wingdings by the
// symbol face that covers its symbols (Symbola); no other family is installed.
#include "fonts/FontFaces.h"

#include <cctype>
#include <map>
#include <memory>

namespace {

struct PageFace {
    const char* Family;
    const char* File;
    const char* FaceFamily;
    FontCodeMap CodeMap;
};

const PageFace PageFaces[] = {
    {"arial", "fonts/LiberationSans-Bold.ttf", "Liberation Sans", FontCodeMap::Ansi},
    {"wingdings", "fonts/Symbola.ttf", "Symbola", FontCodeMap::Wingdings},
};

FT_Library FreeTypeLibrary = nullptr;
std::map<std::string, std::unique_ptr<FontFace>> Faces;

std::string Lowered(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

} // namespace

// The page has the bold face only, which is the one the show asks for.
const FontFace* FindFontFace(const std::string& family, int, bool, unsigned) {
    const std::string key = Lowered(family);
    const auto cached = Faces.find(key);
    if (cached != Faces.end()) {
        return cached->second.get();
    }
    Faces[key] = nullptr;
    for (const PageFace& page : PageFaces) {
        if (key != page.Family) {
            continue;
        }
        if (FreeTypeLibrary == nullptr && FT_Init_FreeType(&FreeTypeLibrary) != 0) {
            FreeTypeLibrary = nullptr;
            return nullptr;
        }
        FT_Face face = nullptr;
        if (FT_New_Face(FreeTypeLibrary, page.File, 0, &face) != 0) {
            return nullptr;
        }
        if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0 ||
            FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
            FT_Done_Face(face);
            return nullptr;
        }
        auto found = std::make_unique<FontFace>();
        found->Face = face;
        found->CharMap = face->charmap;
        found->CodeMap = page.CodeMap;
        found->FilePath = page.File;
        found->Family = page.FaceFamily;
        Faces[key] = std::move(found);
        return Faces[key].get();
    }
    return nullptr;
}
