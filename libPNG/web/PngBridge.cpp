// The PNG bridge of the web back end, linked into the page: libpng's entries the
// binding looks up, and the two stream calls the desktop's bridge library adds.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <iterator>

#include "platform/FileAccess.h"
#include "platform/web/LinkedLibraries.h"

const char* const LinkedPngLibraryName = LARKSPUR_PNG_LIBRARY_FILE;

namespace {

// Regular files only, for reading, as the desktop's bridge opens them.
FILE* OpenFile(const char* fileName, const char* mode) {
    if (fileName == nullptr || mode == nullptr || mode[0] != 'r' ||
        std::strchr(mode, '+') != nullptr) {
        return nullptr;
    }
    std::FILE* stream = nullptr;
    std::uint64_t size = 0;
    return OpenRegularFile(fileName, &stream, &size) == FileOpenResult::Opened ? stream : nullptr;
}

void CloseFile(FILE* stream) {
    if (stream != nullptr) {
        std::fclose(stream);
    }
}

struct Entry {
    const char* Name;
    FARPROC Address;
};

#define LARKSPUR_LINKED(name)                                                                      \
    { #name, reinterpret_cast < FARPROC>(&name) }
const Entry Entries[] = {
    {"png_open_file", reinterpret_cast<FARPROC>(&OpenFile)},
    {"png_close_file", reinterpret_cast<FARPROC>(&CloseFile)},
    LARKSPUR_LINKED(png_create_read_struct),
    LARKSPUR_LINKED(png_create_info_struct),
    LARKSPUR_LINKED(png_init_io),
    LARKSPUR_LINKED(png_set_read_status_fn),
    LARKSPUR_LINKED(png_read_info),
    LARKSPUR_LINKED(png_get_IHDR),
    LARKSPUR_LINKED(png_set_swap),
    LARKSPUR_LINKED(png_set_expand),
    LARKSPUR_LINKED(png_set_packing),
    LARKSPUR_LINKED(png_get_valid),
    LARKSPUR_LINKED(png_set_gray_to_rgb),
    LARKSPUR_LINKED(png_get_gAMA),
    LARKSPUR_LINKED(png_set_gAMA),
    LARKSPUR_LINKED(png_read_update_info),
    LARKSPUR_LINKED(png_get_rowbytes),
    LARKSPUR_LINKED(png_read_image),
    LARKSPUR_LINKED(png_read_end),
    LARKSPUR_LINKED(png_destroy_read_struct),
    LARKSPUR_LINKED(png_create_write_struct),
    LARKSPUR_LINKED(png_set_write_status_fn),
    LARKSPUR_LINKED(png_set_IHDR),
    LARKSPUR_LINKED(png_write_info),
    LARKSPUR_LINKED(png_write_image),
    LARKSPUR_LINKED(png_write_end),
    LARKSPUR_LINKED(png_write_flush),
    LARKSPUR_LINKED(png_destroy_write_struct),
    LARKSPUR_LINKED(png_set_gamma),
    LARKSPUR_LINKED(png_set_strip_16),
};
#undef LARKSPUR_LINKED

} // namespace

FARPROC LinkedPngEntry(const char* name) {
    for (const Entry& entry : Entries) {
        if (std::strcmp(entry.Name, name) == 0) {
            return entry.Address;
        }
    }
    return nullptr;
}
