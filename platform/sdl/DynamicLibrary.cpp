// Win32-shaped run-time library loading over dlopen. A bare library name is looked up
// beside the running executable and in the install's library directory next to it;
// never in the working directory and never on the system search path.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <string>

static std::string ExecutableDirectory() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return {};
    }
    std::string text(path, static_cast<std::size_t>(length));
    const std::size_t slash = text.find_last_of('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash);
}

HMODULE LoadLibraryA(const char* fileName) {
    if (fileName == nullptr || *fileName == '\0') {
        return nullptr;
    }
    const std::string name(fileName);
    if (name.find('/') != std::string::npos) {
        return static_cast<HMODULE>(::dlopen(fileName, RTLD_NOW | RTLD_LOCAL));
    }
    const std::string directory = ExecutableDirectory();
    if (directory.empty()) {
        return nullptr;
    }
    for (const char* place : {"/", "/../lib/", "/../lib/larkspur/"}) {
        const std::string candidate = directory + place + name;
        if (::access(candidate.c_str(), R_OK) != 0) {
            continue;
        }
        if (void* handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            return static_cast<HMODULE>(handle);
        }
    }
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    if (module == nullptr || procName == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(::dlsym(module, procName));
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr) {
        return FALSE;
    }
    return ::dlclose(module) == 0 ? TRUE : FALSE;
}

HMODULE LoadProgramLibrary(const char* fileName) {
    return LoadLibraryA(fileName);
}
