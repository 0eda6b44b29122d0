// The run-time binding of the PNG library.
#include "libPNG/PngLibrary.h"

const char* const PngEntryNames[PngEntryCount] = {
    "png_open_file",
    "png_create_read_struct",
    "png_create_info_struct",
    "png_init_io",
    "png_set_read_status_fn",
    "png_read_info",
    "png_get_IHDR",
    "png_set_swap",
    "png_set_expand",
    "png_set_packing",
    "png_get_valid",
    "png_set_gray_to_rgb",
    "png_get_gAMA",
    "png_set_gAMA",
    "png_read_update_info",
    "png_get_rowbytes",
    "png_read_image",
    "png_read_end",
    "png_destroy_read_struct",
    "png_close_file",
    "png_create_write_struct",
    "png_set_write_status_fn",
    "png_set_IHDR",
    "png_write_info",
    "png_write_image",
    "png_write_end",
    "png_write_flush",
    "png_destroy_write_struct",
    "png_set_gamma",
    "png_set_strip_16",
};

HMODULE PngLibraryHandle = nullptr;
FARPROC PngEntries[PngEntryCount] = {};

bool BindPngLibrary() {
    PngLibraryHandle = LoadLibraryA(PngLibraryFileName);
    if (PngLibraryHandle == nullptr) {
        return false;
    }
    for (int entry = 0; entry < PngEntryCount; ++entry) {
        PngEntries[entry] = GetProcAddress(PngLibraryHandle, PngEntryNames[entry]);
    }
    return true;
}
