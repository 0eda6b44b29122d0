// The calling stack over glibc's backtrace and dladdr.
#include "platform/CallStack.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <cerrno>
#include <cstring>

static std::string FileName(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return "?";
    }
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

int CaptureCallStack(void** frames, int capacity) {
    return backtrace(frames, capacity);
}

std::string ModuleNameOf(const void* address) {
    Dl_info info = {};
    return dladdr(address, &info) != 0 ? FileName(info.dli_fname) : std::string();
}

std::string ProgramName() {
    return FileName(program_invocation_name);
}
