// The process-wide handler for an error that nothing caught.
//
// An uncaught C++ exception ends in std::terminate without the stack being unwound, so
// the handler still sees the frame that raised it: the address shown is the return
// address in the code that threw, and the module is the file that holds that code.
#include "app/ApplicationError.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <typeinfo>

#include "platform/CallStack.h"
#include "platform/Win32.h"

std::string ApplicationErrorText(const std::string& kind, const std::string& module,
                                 const void* address, const std::string& message) {
    char head[512];
    std::snprintf(head, sizeof head, "Exception %s in module %s at %p.", kind.c_str(),
                  module.c_str(), address);
    return std::string(head) + "\n" + message;
}

// The class name of the error in flight, as a person writes it.
static std::string ErrorKind() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr) {
        return "Unknown";
    }
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> readable(
        abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), std::free);
    return status == 0 && readable ? std::string(readable.get()) : std::string(type->name());
}

static std::string ErrorMessage() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "";
    }
}

static std::string ModuleOf(void* address) {
    return ModuleNameOf(address);
}

// The C++ run-time and the libraries that stand between a throw and terminate.
static bool IsRunTime(const std::string& module) {
    static const char* const prefixes[] = {"libstdc++", "libc++",   "libgcc_s",
                                           "libasan",   "libubsan", "libtsan"};
    for (const char* prefix : prefixes) {
        if (module.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

// The stack reads: this handler (perhaps below a sanitizer's frame), the C++ run-time
// (terminate, the throw), then the code that raised the error: the address shown.
static void FindRaisePoint(void** address, std::string* module) {
    void* frames[64];
    const int count = CaptureCallStack(frames, 64);
    const std::string own = ModuleOf(reinterpret_cast<void*>(&FindRaisePoint));
    int i = 0;
    while (i < count && ModuleOf(frames[i]) != own) {
        ++i;
    }
    while (i < count && ModuleOf(frames[i]) == own) {
        ++i;
    }
    while (i < count && IsRunTime(ModuleOf(frames[i]))) {
        ++i;
    }
    *address = i < count ? frames[i] : nullptr;
    *module = *address != nullptr ? ModuleOf(*address) : std::string();
    if (module->empty()) {
        *module = ProgramName();
    }
}

[[noreturn]] static void ShowApplicationError() {
    std::string kind = "Unknown";
    std::string message = "Abnormal program termination";
    if (std::current_exception() != nullptr) {
        kind = ErrorKind();
        message = ErrorMessage();
    }
    void* address = nullptr;
    std::string module;
    FindRaisePoint(&address, &module);
    const std::string text = ApplicationErrorText(kind, module, address, message);
    MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONERROR);
    // Other threads (the sound) may still run: end without static clean-up.
    std::fflush(nullptr);
    std::_Exit(1);
}

void InstallApplicationErrorHandler() {
    std::set_terminate(ShowApplicationError);
}
