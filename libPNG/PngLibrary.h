// The run-time binding of the PNG library: the process-wide handle and entry table that
// every TTextureImage construction refreshes, and the names looked up.
#pragma once

#include "platform/DynamicLibrary.h"

// Our bridge library (libPNG/CMakeLists.txt names the file): it provides png_open_file
// and png_close_file and, being linked against libpng, makes libpng's own entries
// reachable from its handle. On Windows the bridge holds libpng itself and exports its
// entries under their own names.
extern const char* const PngLibraryFileName;

// Every entry of the binding, listed once: X(slot, name, needed). The 28 entries of the
// table come first, in table order; two entries of libpng that the reader needs follow:
// png_set_gamma, which makes the gamma-correction request (png_set_gAMA only records a
// gamma in the info structure), and png_set_strip_16, which reduces 16-bit samples to 8
// bits. `needed` marks the entries the reader calls; the rest are looked up but unused.
#define LARKSPUR_PNG_ENTRIES(X)                                                                    \
    X(PngOpenFile, "png_open_file", true)                                                          \
    X(PngCreateReadStruct, "png_create_read_struct", true)                                         \
    X(PngCreateInfoStruct, "png_create_info_struct", true)                                         \
    X(PngInitIo, "png_init_io", true)                                                              \
    X(PngSetReadStatusFn, "png_set_read_status_fn", true)                                          \
    X(PngReadInfo, "png_read_info", true)                                                          \
    X(PngGetIhdr, "png_get_IHDR", true)                                                            \
    X(PngSetSwap, "png_set_swap", true)                                                            \
    X(PngSetExpand, "png_set_expand", true)                                                        \
    X(PngSetPacking, "png_set_packing", true)                                                      \
    X(PngGetValid, "png_get_valid", true)                                                          \
    X(PngSetGrayToRgb, "png_set_gray_to_rgb", true)                                                \
    X(PngGetGama, "png_get_gAMA", true)                                                            \
    X(PngSetGama, "png_set_gAMA", false)                                                           \
    X(PngReadUpdateInfo, "png_read_update_info", true)                                             \
    X(PngGetRowbytes, "png_get_rowbytes", true)                                                    \
    X(PngReadImage, "png_read_image", true)                                                        \
    X(PngReadEnd, "png_read_end", true)                                                            \
    X(PngDestroyReadStruct, "png_destroy_read_struct", true)                                       \
    X(PngCloseFile, "png_close_file", true)                                                        \
    X(PngCreateWriteStruct, "png_create_write_struct", false)                                      \
    X(PngSetWriteStatusFn, "png_set_write_status_fn", false)                                       \
    X(PngSetIhdr, "png_set_IHDR", false)                                                           \
    X(PngWriteInfo, "png_write_info", false)                                                       \
    X(PngWriteImage, "png_write_image", false)                                                     \
    X(PngWriteEnd, "png_write_end", false)                                                         \
    X(PngWriteFlush, "png_write_flush", false)                                                     \
    X(PngDestroyWriteStruct, "png_destroy_write_struct", false)                                    \
    X(PngSetGamma, "png_set_gamma", true)                                                          \
    X(PngSetStrip16, "png_set_strip_16", true)

enum PngEntry {
#define LARKSPUR_PNG_ENTRY_SLOT(slot, name, needed) slot,
    LARKSPUR_PNG_ENTRIES(LARKSPUR_PNG_ENTRY_SLOT)
#undef LARKSPUR_PNG_ENTRY_SLOT
        PngEntryCount
};

extern const char* const PngEntryNames[PngEntryCount];

// Handle of the loaded library; null when the last binding failed.
extern HMODULE PngLibraryHandle;
// An entry's address before it is cast to its own type: a function pointer type that
// converts to any other without complaint (Windows' FARPROC has a return type).
using PngEntryAddress = void (*)();
// Entry addresses in PngEntry order; all null after a binding that failed for want of an
// entry, so that nothing calls through a partial table.
extern PngEntryAddress PngEntries[PngEntryCount];

// Loads the bridge (one more reference) and looks every entry up again. False when the
// library cannot be loaded, leaving the table as it was; false too when it lacks an
// entry the reader calls: its reference is then released, and handle and table cleared.
bool BindPngLibrary();
// The same for a library named by the caller (a path, or a name found beside the program).
bool BindPngLibraryFrom(const char* fileName);
// True when every entry the reader calls is in the table.
bool PngEntriesBound();
