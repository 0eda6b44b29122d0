// TTextureImage: one picture read from a file into red, green, blue, alpha bytes,
// bottom row first, and the mip-mapped OpenGL texture made from it.
#pragma once

#include <cstdint>
#include <string>

#include <GL/gl.h>

class TTextureImage {
  public:
    // Loads the file when the name is not empty; a failed load leaves an empty object.
    explicit TTextureImage(const std::string& fileName);
    ~TTextureImage();
    TTextureImage(const TTextureImage&) = delete;
    TTextureImage& operator=(const TTextureImage&) = delete;

    bool LoadImageFile(const std::string& fileName);
    void BuildTexture();
    void BindTexture();

    // Readers, chosen by LoadImageFile from the file name's extension.
    bool ReadBmpFile(const std::string& fileName);
    bool ReadJpegFile(const std::string& fileName);
    bool ReadPngFile(const std::string& fileName);
    bool ReadTgaFile(const std::string& fileName);

    // Pixel helpers shared by the readers.
    static std::uint8_t WidenChannel(std::uint32_t value, int bits);
    std::int32_t RowStride(int bits) const;
    static int LowestSetBit(std::uint32_t mask);
    static int CountSetBits(std::uint32_t mask);
    void SwapRedAndBlue();
    void ExpandRgbToRgba(const std::uint8_t* source, std::size_t skip, bool swap);
    void FillAlpha(std::uint8_t value);
    void ReleasePixels();

    GLuint TextureName = 0;
    std::int32_t BitsPerPixel = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint8_t* Pixels = nullptr; // Width × Height × 4 bytes when present
    std::uint8_t ColourTable[1024] = {};
    std::int32_t SpareSetting = 0;
    GLenum MinFilter = 0;
    GLenum MagFilter = 0;
    GLenum WrapS = 0;
    GLenum WrapT = 0;
    std::int32_t ImageSize = 0;
    bool PngAvailable = false;
};
