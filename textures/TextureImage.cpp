// Placeholder texture image: loads nothing until the readers are built.
#include "textures/TextureImage.h"

TTextureImage::TTextureImage(const std::string&) {}
TTextureImage::~TTextureImage() { ReleasePixels(); }
bool TTextureImage::LoadImageFile(const std::string&) { return false; }
void TTextureImage::BuildTexture() {}
void TTextureImage::BindTexture() {
    if (TextureName != 0) {
        glBindTexture(GL_TEXTURE_2D, TextureName);
    }
}
void TTextureImage::ReleasePixels() {
    delete[] Pixels;
    Pixels = nullptr;
}
