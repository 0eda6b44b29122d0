// The calling stack and the modules its addresses lie in, for the report of an error
// that nothing caught.
#pragma once

#include <string>

// Fills `frames` with up to `capacity` return addresses, innermost first; returns how many.
int CaptureCallStack(void** frames, int capacity);
// The file name (without its folder) of the module holding `address`; empty if unknown.
std::string ModuleNameOf(const void* address);
// The file name of the running program.
std::string ProgramName();
