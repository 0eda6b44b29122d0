// Face lookup for the outline fonts: fontconfig finds the file, FreeType opens it.
//
// A family is accepted when fontconfig names it or binds a stand-in to it firmly (the
// metric-compatible aliases, such as Liberation Sans for Arial); the weak fallbacks that
// fontconfig appends to every request are refused, so that an unknown family builds
// nothing rather than some other face. A symbol family that is not installed is drawn
// from the installed face that covers most of the Unicode stand-ins of its symbols.
#include "fonts/FontFaces.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <vector>

#include <fontconfig/fontconfig.h>

#include "fonts/FontCharacterMaps.h"

static FT_Library FreeTypeLibrary = nullptr;
static std::map<std::string, std::unique_ptr<FontFace>> FaceCache;
static std::map<std::string, FT_Face> OpenFaces;

static std::string Lowered(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return result;
}

static FT_Face OpenFaceFile(const std::string& path, int index) {
    std::string key = path + "#" + std::to_string(index);
    auto found = OpenFaces.find(key);
    if (found != OpenFaces.end()) {
        return found->second;
    }
    if (FreeTypeLibrary == nullptr && FT_Init_FreeType(&FreeTypeLibrary) != 0) {
        FreeTypeLibrary = nullptr;
        return nullptr;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(FreeTypeLibrary, path.c_str(), index, &face) != 0) {
        face = nullptr;
    } else if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        face = nullptr;
    }
    OpenFaces[key] = face;
    return face;
}

static FT_CharMap FindCharMap(FT_Face face, FT_Encoding encoding) {
    for (int i = 0; i < face->num_charmaps; ++i) {
        if (face->charmaps[i]->encoding == encoding) {
            return face->charmaps[i];
        }
    }
    return nullptr;
}

// FreeType's own choice among the Unicode maps: the full one (beyond the first 65536
// characters, where most symbols live) before the basic one.
static FT_CharMap UnicodeCharMap(FT_Face face) {
    if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
        return nullptr;
    }
    return face->charmap;
}

static std::string PatternString(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) == FcResultMatch && value != nullptr) {
        return reinterpret_cast<const char*>(value);
    }
    return {};
}

static FcPattern* RequestPattern(const std::string& family, int weight, bool italic) {
    FcPattern* pattern = FcPatternCreate();
    if (!family.empty()) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? weight : 400));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    return pattern;
}

// The installed face of the family or of a firmly bound stand-in, or nullptr.
static FT_Face MatchNamedFamily(const std::string& family, int weight, bool italic,
                                std::string* path, std::string* matchedFamily) {
    FcPattern* pattern = RequestPattern(family, weight, italic);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    std::vector<std::string> accepted;
    FcValue value;
    FcValueBinding binding;
    for (int i = 0;
         FcPatternGetWithBinding(pattern, FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
        if (value.type == FcTypeString && binding != FcValueBindingWeak) {
            accepted.push_back(Lowered(reinterpret_cast<const char*>(value.u.s)));
        }
    }

    FT_Face face = nullptr;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    if (match != nullptr) {
        bool familyAccepted = false;
        FcChar8* name = nullptr;
        for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
            std::string lowered = Lowered(reinterpret_cast<const char*>(name));
            if (std::find(accepted.begin(), accepted.end(), lowered) != accepted.end()) {
                familyAccepted = true;
            }
        }
        FcBool outline = FcFalse;
        FcPatternGetBool(match, FC_OUTLINE, 0, &outline);
        int index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        std::string file = PatternString(match, FC_FILE);
        if (familyAccepted && outline && !file.empty()) {
            face = OpenFaceFile(file, index);
            *path = file;
            *matchedFamily = PatternString(match, FC_FAMILY);
        }
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return face;
}

// The installed outline face that covers most of the table's characters, or nullptr
// when none covers any symbol of it.
static FT_Face MatchCoveringFace(const char32_t* table, int size, int weight, bool italic,
                                 std::string* path, std::string* matchedFamily) {
    FcCharSet* wanted = FcCharSetCreate();
    for (int i = 0; i < size; ++i) {
        if (table[i] > 0x20) {
            FcCharSetAddChar(wanted, table[i]);
        }
    }
    FcPattern* pattern = RequestPattern("", weight, italic);
    FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);

    FT_Face face = nullptr;
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    if (fonts != nullptr) {
        FcChar32 bestCount = 0;
        FcPattern* best = nullptr;
        for (int i = 0; i < fonts->nfont; ++i) {
            FcCharSet* charSet = nullptr;
            FcBool outline = FcFalse;
            if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &charSet) != FcResultMatch ||
                FcPatternGetBool(fonts->fonts[i], FC_OUTLINE, 0, &outline) != FcResultMatch ||
                !outline) {
                continue;
            }
            FcChar32 count = FcCharSetIntersectCount(charSet, wanted);
            if (count > bestCount) {
                bestCount = count;
                best = fonts->fonts[i];
            }
        }
        if (best != nullptr) {
            int index = 0;
            FcPatternGetInteger(best, FC_INDEX, 0, &index);
            std::string file = PatternString(best, FC_FILE);
            if (!file.empty()) {
                face = OpenFaceFile(file, index);
                *path = file;
                *matchedFamily = PatternString(best, FC_FAMILY);
            }
        }
        FcFontSetDestroy(fonts);
    }
    FcPatternDestroy(pattern);
    FcCharSetDestroy(wanted);
    return face;
}

const FontFace* FindFontFace(const std::string& family, int weight, bool italic, unsigned charSet) {
    std::string key = Lowered(family) + "|" + std::to_string(weight) + "|" +
                      std::to_string(italic ? 1 : 0) + "|" + std::to_string(charSet);
    auto cached = FaceCache.find(key);
    if (cached != FaceCache.end()) {
        return cached->second.get();
    }
    FaceCache[key] = nullptr;
    if (!FcInit()) {
        return nullptr;
    }

    auto found = std::make_unique<FontFace>();
    found->Face = MatchNamedFamily(family, weight, italic, &found->FilePath, &found->Family);
    if (found->Face != nullptr) {
        FT_CharMap symbolMap = FindCharMap(found->Face, FT_ENCODING_MS_SYMBOL);
        if (symbolMap != nullptr) {
            found->CharMap = symbolMap;
            found->CodeMap = FontCodeMap::Symbol;
        } else {
            found->CharMap = UnicodeCharMap(found->Face);
            found->CodeMap = FontCodeMap::Ansi;
        }
    } else if (Lowered(family) == "wingdings") {
        found->Face = MatchCoveringFace(WingdingsToUnicode, 256, weight, italic, &found->FilePath,
                                        &found->Family);
        if (found->Face != nullptr) {
            found->CharMap = UnicodeCharMap(found->Face);
            found->CodeMap = FontCodeMap::Wingdings;
        }
    }
    if (found->Face == nullptr || found->CharMap == nullptr) {
        return nullptr;
    }
    FaceCache[key] = std::move(found);
    return FaceCache[key].get();
}
