// Win32-shaped run-time library loading over dlopen (on Windows, the system's own).
#pragma once

#include "platform/Win32.h"

#if !defined(_WIN32)
using FARPROC = void (*)();

// Loads a shared library by name; a bare name is looked up beside the executable and
// in the install's library directory, never in the working directory. Each call takes
// one reference.
HMODULE LoadLibraryA(const char* fileName);
// The address of an entry by name, or null.
FARPROC GetProcAddress(HMODULE module, const char* procName);
// Releases one reference; a null handle is accepted and does nothing.
BOOL FreeLibrary(HMODULE module);
#endif

// Loads a library that ships with the program: LoadLibraryA here, whose search already
// keeps to the program's folders. On Windows a bare name is looked for in the program's
// own folder only, since the system's search would also try the working directory and
// the PATH, where anyone may have put a file of that name.
HMODULE LoadProgramLibrary(const char* fileName);
