// Placeholder scene set-up: projection only, until the full set-up is built.
#include "app/Scene.h"

#include <GL/glu.h>

TTextureImage* Textures[TextureSlotCount] = {};

const float LightAmbient[4] = {0.5f, 0.5f, 0.5f, 1.0f};
const float LightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
const float LightPosition[4] = {0.0f, 0.0f, 2.0f, 1.0f};

void LoadTextureSlot(const char*, int) {}
void LoadTextures() {}

void InitScene(int width, int height) {
    if (height == 0) {
        height = 1;
    }
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<float>(width) / static_cast<float>(height), 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
}

void ResizeScene(int width, int height) {
    if (height == 0) {
        height = 1;
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<float>(width) / static_cast<float>(height), 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
}
