// Win32-shaped run-time library loading over dlopen.
#pragma once

#include "platform/Win32.h"

using FARPROC = void (*)();

// Loads a shared library by name; a bare name is looked up beside the executable and
// in the install's library directory, never in the working directory. Each call takes
// one reference.
HMODULE LoadLibraryA(const char* fileName);
// The address of an entry by name, or null.
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Releases one reference; a null handle is accepted and does nothing.
BOOL FreeLibrary(HMODULE module);
