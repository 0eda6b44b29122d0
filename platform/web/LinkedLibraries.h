// The libraries the show loads by name, linked into the page instead: each one's name
// and the lookup of its entries (libPNG/web/ defines the PNG bridge's).
#pragma once

#include "platform/Win32.h"

using LinkedEntryLookup = FARPROC (*)(const char* name);

extern const char* const LinkedPngLibraryName;
FARPROC LinkedPngEntry(const char* name);
