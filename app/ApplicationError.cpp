// The process-wide handler for an error that nothing caught.
//
// An uncaught C++ exception ends in std::terminate without the stack being unwound, so
// the handler still sees the frame that raised it: the address shown is the code just
// after the throw, and the module is the file that holds that code.
#include "app/ApplicationError.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <typeinfo>

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

static std::string FileName(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        return "?";
    }
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

// The return address in the frame that called __cxa_throw, with its module; the first
// frame outside the C++ run-time when that frame is not on the stack.
static void FindRaisePoint(void** address, std::string* module) {
    void* frames[64];
    const int count = backtrace(frames, 64);
    int raiser = -1;
    for (int i = 0; i + 1 < count; ++i) {
        Dl_info info = {};
        if (dladdr(frames[i], &info) != 0 && info.dli_sname != nullptr &&
            std::strcmp(info.dli_sname, "__cxa_throw") == 0) {
            raiser = i + 1;
            break;
        }
    }
    if (raiser < 0) {
        raiser = count > 0 ? count - 1 : -1;
    }
    *address = raiser >= 0 ? frames[raiser] : nullptr;
    Dl_info info = {};
    if (*address != nullptr && dladdr(*address, &info) != 0) {
        *module = FileName(info.dli_fname);
    } else {
        *module = FileName(program_invocation_name);
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
