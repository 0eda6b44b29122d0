// The two calls of the bridge library that the PNG binding loads: they open (regular
// files only, for reading) and close the C streams libpng reads from, so that both sides
// use the same C run-time. The back end's folder makes the rest of the bridge: what links
// or holds libpng, and which names it exports.
#include <cstdio>
#include <cstring>

#include "platform/FileAccess.h"

extern "C" std::FILE* png_open_file(const char* fileName, const char* mode) {
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

extern "C" void png_close_file(std::FILE* stream) {
    if (stream != nullptr) {
        std::fclose(stream);
    }
}
