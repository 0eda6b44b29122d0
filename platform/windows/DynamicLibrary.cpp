// Libraries that ship beside the program, loaded by full path.
#include "platform/DynamicLibrary.h"

#include <string>

// The folder of the running program, with its trailing separator; empty on failure.
static std::string ProgramFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        // Cut short: try again with room to spare, up to the longest path there is.
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

static bool IsAbsolute(const std::string& name) {
    const bool drive = name.size() >= 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
    const bool share = name.size() >= 2 && (name[0] == '\\' || name[0] == '/') &&
                       (name[1] == '\\' || name[1] == '/');
    return drive || share;
}

HMODULE LoadProgramLibrary(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0') {
        return nullptr;
    }
    const std::string name(fileName);
    if (IsAbsolute(name)) {
        return LoadLibraryA(fileName);
    }
    // A relative path would be taken from the working directory.
    if (name.find_first_of("\\/:") != std::string::npos) {
        return nullptr;
    }
    const std::string folder = ProgramFolder();
    if (folder.empty()) {
        return nullptr;
    }
    return LoadLibraryA((folder + name).c_str());
}
