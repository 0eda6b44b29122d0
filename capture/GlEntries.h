// Looking up OpenGL entry points beyond 1.1 (buffers, framebuffers) in the current
// context, as the recorder's read-back and frame target need them.
#pragma once

#include <SDL2/SDL.h>

// Stores the entry point `name` in `entry`; false when the context has none.
template <typename T> bool LoadGlEntry(T& entry, const char* name) {
    entry = reinterpret_cast<T>(SDL_GL_GetProcAddress(name));
    return entry != nullptr;
}
