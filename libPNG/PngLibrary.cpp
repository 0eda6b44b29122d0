// The run-time binding of the PNG library.
#include "libPNG/PngLibrary.h"

const char* const PngLibraryFileName = LARKSPUR_PNG_LIBRARY_FILE;

const char* const PngEntryNames[PngEntryCount] = {
#define LARKSPUR_PNG_ENTRY_NAME(slot, name, needed) name,
    LARKSPUR_PNG_ENTRIES(LARKSPUR_PNG_ENTRY_NAME)
#undef LARKSPUR_PNG_ENTRY_NAME
};

namespace {

constexpr bool EntryNeeded[PngEntryCount] = {
#define LARKSPUR_PNG_ENTRY_NEEDED(slot, name, needed) needed,
    LARKSPUR_PNG_ENTRIES(LARKSPUR_PNG_ENTRY_NEEDED)
#undef LARKSPUR_PNG_ENTRY_NEEDED
};

} // namespace

HMODULE PngLibraryHandle = nullptr;
PngEntryAddress PngEntries[PngEntryCount] = {};

bool PngEntriesBound() {
    for (int entry = 0; entry < PngEntryCount; ++entry) {
        if (EntryNeeded[entry] && PngEntries[entry] == nullptr) {
            return false;
        }
    }
    return true;
}

bool BindPngLibrary() {
    return BindPngLibraryFrom(PngLibraryFileName);
}

bool BindPngLibraryFrom(const char* fileName) {
    PngLibraryHandle = LoadProgramLibrary(fileName);
    if (PngLibraryHandle == nullptr) {
        return false;
    }
    for (int entry = 0; entry < PngEntryCount; ++entry) {
        PngEntries[entry] = reinterpret_cast<PngEntryAddress>(
            GetProcAddress(PngLibraryHandle, PngEntryNames[entry]));
    }
    if (PngEntriesBound()) {
        return true;
    }
    // A library without an entry the reader calls is no PNG library: nothing is bound.
    FreeLibrary(PngLibraryHandle);
    PngLibraryHandle = nullptr;
    for (PngEntryAddress& address : PngEntries) {
        address = nullptr;
    }
    return false;
}
