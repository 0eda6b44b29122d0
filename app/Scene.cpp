// Scene set-up: the eleven pictures, the fixed OpenGL state, the projection, the two
// outline fonts and light 1, and the projection kept in step with the window.
#include "app/Scene.h"

#include <GL/glu.h>

#include "app/ShowWindow.h"
#include "show/OutlineFonts.h"

const float LightAmbient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
const float LightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const float LightPosition[4] = {0.0f, 0.0f, 2.0f, 1.0f};

void LoadTextureSlot(const char* fileName, int slot) {
    if (slot < 0 || slot >= TextureSlotCount) {
        return;
    }
    TTextureImage* image = new TTextureImage(fileName != nullptr ? fileName : "");
    Textures[slot] = image;
    image->BuildTexture();
}

void LoadTextures() {
    for (int slot = 0; slot < TextureSlotCount; ++slot) {
        LoadTextureSlot(ShowDataFiles[slot], slot);
    }
}

static void SetProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<float>(width) / static_cast<float>(height), 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
}

void SetSceneState(int width, int height) {
    glEnable(GL_TEXTURE_2D);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    // The modelview matrix stays the identity a new context starts with.
    SetProjection(width, height);
}

void SetSceneLight() {
    glLightfv(GL_LIGHT1, GL_AMBIENT, LightAmbient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, LightDiffuse);
    glLightfv(GL_LIGHT1, GL_POSITION, LightPosition);
    glEnable(GL_LIGHT1);
}

void InitScene(int width, int height) {
    // Only ever the client size of the show window, but a zero height would divide by 0.
    if (height == 0) {
        height = 1;
    }
    LoadTextures();
    SetSceneState(width, height);
    BuildTextFont(WindowDC);
    BuildSymbolFont(WindowDC);
    SetSceneLight();
}

void ResizeScene(int width, int height) {
    if (height == 0) {
        height = 1;
    }
    glViewport(0, 0, width, height);
    SetProjection(width, height);
}
