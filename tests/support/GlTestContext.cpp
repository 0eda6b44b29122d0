#include "tests/support/GlTestContext.h"

#include <SDL2/SDL.h>
#include <GL/gl.h>

GlTestContext::GlTestContext(int width, int height) : W(width), H(height) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    Window = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (Window == nullptr) {
        return;
    }
    Context = SDL_GL_CreateContext(Window);
    if (Context != nullptr) {
        SDL_GL_MakeCurrent(Window, Context);
        glViewport(0, 0, width, height);
    }
}

GlTestContext::~GlTestContext() {
    if (Context != nullptr) {
        SDL_GL_MakeCurrent(Window, nullptr);
        SDL_GL_DeleteContext(Context);
    }
    if (Window != nullptr) {
        SDL_DestroyWindow(Window);
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::vector<std::uint8_t> GlTestContext::ReadPixels() const {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(W) * H * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::uint32_t GlTestContext::PixelAt(int x, int y) const {
    std::uint8_t rgba[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return (std::uint32_t{rgba[0]} << 16) | (std::uint32_t{rgba[1]} << 8) | rgba[2];
}

void GlTestContext::Swap() {
    SDL_GL_SwapWindow(Window);
}
