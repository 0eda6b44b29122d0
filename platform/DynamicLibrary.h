// Loading the libraries that ship with the program. LoadLibraryA, GetProcAddress and
// FreeLibrary are declared with the rest of the contract in Win32.h.
#pragma once

#include "platform/Win32.h"

// Loads a library that ships with the program: LoadLibraryA here, whose search already
// keeps to the program's folders. On Windows a bare name is looked for in the program's
// own folder only, since the system's search would also try the working directory and
// the PATH, where anyone may have put a file of that name.
HMODULE LoadProgramLibrary(const char* fileName);
