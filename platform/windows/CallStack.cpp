// The calling stack over the system's stack walker and module table.
#include "platform/CallStack.h"

#include "platform/Win32.h"

static std::string FileName(const char* path) {
    std::string text(path);
    const std::size_t slash = text.find_last_of("\\/");
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

static std::string ModuleFile(HMODULE module) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return {};
    }
    return FileName(path);
}

int CaptureCallStack(void** frames, int capacity) {
    if (capacity <= 0) {
        return 0;
    }
    return RtlCaptureStackBackTrace(0, static_cast<DWORD>(capacity), frames, nullptr);
}

std::string ModuleNameOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<const char*>(address), &module)) {
        return {};
    }
    return ModuleFile(module);
}

std::string ProgramName() {
    const std::string name = ModuleFile(nullptr);
    return name.empty() ? std::string("?") : name;
}
