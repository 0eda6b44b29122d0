// The rest of the contract on a web page: message boxes are text on the page, the
// display is the page's (nothing to switch or give back), libraries are linked in, and
// there are no signals, standard streams to guard or call stacks to name.
#include <emscripten/emscripten.h>

#include <cstring>
#include <typeinfo>

#include "platform/CallStack.h"
#include "platform/DisplayGuard.h"
#include "platform/DynamicLibrary.h"
#include "platform/EndRequests.h"
#include "platform/StandardStreams.h"
#include "platform/Win32.h"
#include "platform/web/LinkedLibraries.h"
#include "platform/web/WebGl.h"

EM_JS(void, web_show_message, (const char* caption, const char* text), {
    const show = Module.larkspurShowMessage;
    if (show) {
        show(UTF8ToString(caption), UTF8ToString(text));
    }
});

// Shown on the page; the show goes on at once, as the reader of the page is not asked
// for anything.
int MessageBoxA(HWND, const char* text, const char* caption, UINT) {
    ObservePlatformCall("MessageBoxA");
    web_show_message(caption != nullptr ? caption : "", text != nullptr ? text : "");
    return IDOK;
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags) {
    ObservePlatformCall("ChangeDisplaySettingsA");
    if (mode == nullptr) {
        return DISP_CHANGE_SUCCESSFUL;
    }
    // The page shows the picture as large as the window allows, at the screen's own
    // resolution; full screen is the reader's choice on the page.
    return (flags & ~CDS_FULLSCREEN) == 0 ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_BADFLAGS;
}

void StartDisplayGuard(int, int, std::uint64_t) {}
void StopDisplayGuard() {}
void RestoreDisplayModeAtExit() {}

void CatchEndRequests() {}
void KeepStandardStreamsOpen() {}

int CaptureCallStack(void**, int) {
    return 0;
}

std::string ModuleNameOf(const void*) {
    return {};
}

std::string ProgramName() {
    return "larkspur";
}

// --- Libraries: the ones the show loads are linked into the page ---

struct PlatformModule {
    LinkedEntryLookup Lookup = nullptr;
};

HMODULE LoadLibraryA(const char* fileName) {
    ObservePlatformCall("LoadLibraryA");
    static PlatformModule png{LinkedPngEntry};
    if (fileName != nullptr && std::strcmp(fileName, LinkedPngLibraryName) == 0) {
        return &png;
    }
    SetPlatformFailure("LoadLibraryA: no such library is linked into the page");
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    ObservePlatformCall("GetProcAddress");
    if (module == nullptr || procName == nullptr) {
        return nullptr;
    }
    return module->Lookup(procName);
}

BOOL FreeLibrary(HMODULE) {
    ObservePlatformCall("FreeLibrary");
    return TRUE;
}

HMODULE LoadProgramLibrary(const char* fileName) {
    return LoadLibraryA(fileName);
}

// The browser's unwinding keeps the exception being handled to itself, so the report of
// an error that nothing caught names no type.
extern "C" std::type_info* __cxa_current_exception_type() {
    return nullptr;
}
