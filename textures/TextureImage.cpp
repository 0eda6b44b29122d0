// TTextureImage: construction, destruction, the choice of reader by file extension, and
// the upload of the pixel buffer as a mip-mapped OpenGL texture.
#include "textures/TextureImage.h"

#include <GL/glu.h>

#include "libPNG/PngLibrary.h"
#include "platform/DynamicLibrary.h"

std::int64_t MaxImagePixels = DefaultMaxImagePixels;

TTextureImage::TTextureImage(const std::string& fileName) {
    Width = 0;
    Height = 0;
    BitsPerPixel = 0;
    SpareSetting = 75;
    MinFilter = GL_LINEAR;
    MagFilter = GL_LINEAR;
    WrapS = GL_REPEAT;
    WrapT = GL_REPEAT;
    PngAvailable = BindPngLibrary();
    if (!fileName.empty()) {
        try {
            LoadImageFile(fileName);
        } catch (...) {
            // A constructor left by an error never reaches the destructor: run its steps
            // here so the reference on the PNG library goes back.
            Destroy();
            throw;
        }
    }
}

TTextureImage::~TTextureImage() {
    Destroy();
}

void TTextureImage::Destroy() {
    ReleasePixels();
    FreeLibrary(PngLibraryHandle);
    if (TextureName != 0) {
        glDeleteTextures(1, &TextureName);
        TextureName = 0;
    }
}

// The extension is the text from the last dot on, unless a path separator (\, : or /)
// follows it.
static std::string ExtensionOf(const std::string& fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || fileName.find_first_of("\\:/", dot) != std::string::npos) {
        return {};
    }
    std::string extension = fileName.substr(dot);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension;
}

bool TTextureImage::LoadImageFile(const std::string& fileName) {
    ReleasePixels();
    const std::string extension = ExtensionOf(fileName);
    if (extension == ".bmp") {
        return ReadBmpFile(fileName);
    }
    if (extension == ".jpg") {
        return ReadJpegFile(fileName);
    }
    if (extension == ".png") {
        return ReadPngFile(fileName);
    }
    if (extension == ".tga") {
        return ReadTgaFile(fileName);
    }
    return false;
}

void TTextureImage::BuildTexture() {
    if (Pixels == nullptr) {
        return;
    }
    if (TextureName != 0) {
        glDeleteTextures(1, &TextureName);
    }
    glGenTextures(1, &TextureName);
    glBindTexture(GL_TEXTURE_2D, TextureName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(WrapS));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(WrapT));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(MagFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MinFilter));
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, Pixels);
}

void TTextureImage::BindTexture() {
    if (TextureName != 0) {
        glBindTexture(GL_TEXTURE_2D, TextureName);
    }
}
