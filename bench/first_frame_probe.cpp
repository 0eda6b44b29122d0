// Preloaded into the real program by the frame benchmark: passes every buffer swap on to
// SDL and writes "first-frame" to standard error right after the first one, so the
// benchmark can time start-up from outside without the show knowing.
#include <dlfcn.h>
#include <unistd.h>

struct SDL_Window;

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using SwapFunction = void (*)(SDL_Window*);
    static SwapFunction realSwap =
        reinterpret_cast<SwapFunction>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    static bool reported = false;
    if (realSwap != nullptr) {
        realSwap(window);
    }
    if (!reported) {
        reported = true;
        static const char marker[] = "first-frame\n";
        [[maybe_unused]] const ssize_t written = write(2, marker, sizeof marker - 1);
    }
}
