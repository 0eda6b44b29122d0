// The run-time binding of the PNG library: the process-wide handle and entry table that
// every TTextureImage construction refreshes, and the names looked up.
#pragma once

#include "platform/DynamicLibrary.h"

// Our bridge library: it provides png_open_file and png_close_file and, being linked
// against libpng, makes libpng's own entries reachable from its handle.
inline constexpr const char* PngLibraryFileName = "liblarkspur-png.so";

// The 28 entries of the binding, in table order, followed by two entries of libpng
// that the reader needs beyond them: png_set_gamma, which makes the gamma-correction
// request (png_set_gAMA only records a gamma in the info structure), and
// png_set_strip_16, which reduces 16-bit samples to 8 bits.
enum PngEntry {
    PngOpenFile,
    PngCreateReadStruct,
    PngCreateInfoStruct,
    PngInitIo,
    PngSetReadStatusFn,
    PngReadInfo,
    PngGetIhdr,
    PngSetSwap,
    PngSetExpand,
    PngSetPacking,
    PngGetValid,
    PngSetGrayToRgb,
    PngGetGama,
    PngSetGama,
    PngReadUpdateInfo,
    PngGetRowbytes,
    PngReadImage,
    PngReadEnd,
    PngDestroyReadStruct,
    PngCloseFile,
    PngCreateWriteStruct,
    PngSetWriteStatusFn,
    PngSetIhdr,
    PngWriteInfo,
    PngWriteImage,
    PngWriteEnd,
    PngWriteFlush,
    PngDestroyWriteStruct,
    PngSetGamma,
    PngSetStrip16,
    PngEntryCount
};

extern const char* const PngEntryNames[PngEntryCount];

// Handle of the loaded library; null when the last load failed.
extern HMODULE PngLibraryHandle;
// Entry addresses in PngEntry order; null for an entry the library lacks.
extern FARPROC PngEntries[PngEntryCount];

// Loads the library (one more reference) and looks every entry up again; false when
// the library cannot be loaded, leaving the table as it was.
bool BindPngLibrary();
