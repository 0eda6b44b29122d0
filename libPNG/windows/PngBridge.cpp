// The PNG library as the show loads it on Windows, "libpng.dll": libpng itself, linked in
// whole and exported under its own names (libpng.def), and the two calls that open and
// close the C streams it reads from. The streams are made here so that they belong to
// the same C run-time as libpng's reads.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/FileAccess.h"

extern "C" __declspec(dllexport) std::FILE* png_open_file(const char* fileName, const char* mode) {
    // Read-only use: anything that would write or create is refused.
    if (fileName == nullptr || mode == nullptr || mode[0] != 'r' ||
        std::strchr(mode, '+') != nullptr) {
        return nullptr;
    }
    std::FILE* stream = nullptr;
    std::uint64_t size = 0;
    if (OpenRegularFile(fileName, &stream, &size) != FileOpenResult::Opened) {
        return nullptr;
    }
    return stream;
}

extern "C" __declspec(dllexport) void png_close_file(std::FILE* stream) {
    if (stream != nullptr) {
        std::fclose(stream);
    }
}
