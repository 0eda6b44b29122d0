// TTextureImage: one picture read from a file into red, green, blue, alpha bytes,
// bottom row first, and the mip-mapped OpenGL texture made from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <GL/gl.h>

// Largest picture side any reader accepts, and the largest pixel count: what an OpenGL
// 1.1 texture and the show can use (64 M pixels are 256 MB of pixel buffer), so that a
// small file declaring a huge picture is refused before any buffer is made. The count is
// a variable so that the fuzz targets can keep their inputs cheap.
inline constexpr std::int64_t MaxImageSide = 8192;
inline constexpr std::int64_t DefaultMaxImagePixels = 64 * 1024 * 1024;
extern std::int64_t MaxImagePixels;

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

    // The same readers over a stream that is already open (positioned at its start);
    // the caller closes it. Used by the file readers above and by the fuzz targets.
    bool ReadBmpStream(std::FILE* file);
    bool ReadJpegStream(std::FILE* file);
    bool ReadPngStream(void* stream);
    bool ReadTgaStream(std::FILE* file);

    // Pixel helpers shared by the readers.
    static std::uint8_t WidenChannel(std::uint32_t value, int bits);
    std::int32_t RowStride(int bits) const;
    static int LowestSetBit(std::uint32_t mask);
    static int CountSetBits(std::uint32_t mask);
    void SwapRedAndBlue();
    void ExpandRgbToRgba(const std::uint8_t* source, std::size_t skip, bool swap);
    void FillAlpha(std::uint8_t value);
    void ReleasePixels();
    // True when a picture of this size may be loaded: both sides positive, neither above
    // MaxImageSide, and no more than MaxImagePixels pixels.
    static bool DimensionsAllowed(std::int64_t width, std::int64_t height);

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

  private:
    // The destruction steps, shared by the destructor and a constructor left by an error.
    void Destroy();
    // The BMP depth converters; false reports a short read.
    bool ConvertBmp4(std::FILE* file);
    bool ConvertBmp8(std::FILE* file);
    bool ConvertBmp16(std::FILE* file);
    bool ConvertBmp24(std::FILE* file);
    bool ConvertBmp32(std::FILE* file);
    // What the converters share: the bit-field depths, the read of the pixel data, the
    // walk over its rows, and a palette lookup.
    bool ConvertBmpMasked(std::FILE* file, int bits);
    template <typename Convert> bool ConvertBmpRows(std::FILE* file, int bits, Convert convert);
    template <typename Convert>
    bool WalkBmpRows(const std::uint8_t* data, std::size_t size, int bits, Convert convert);
    void PaletteColour(unsigned index, std::uint8_t* target) const;
};
