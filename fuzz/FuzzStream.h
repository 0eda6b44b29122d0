// Shared driver of the picture reader fuzz targets: hands the input to a reader as an
// in-memory stream, checks the buffer it leaves, and keeps pictures small so that every
// input decodes quickly.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "textures/ImageErrors.h"
#include "textures/TextureImage.h"

template <typename Reader> void FuzzRead(const std::uint8_t* data, std::size_t size, Reader read) {
    static TTextureImage* image = [] {
        MaxImagePixels = 1 << 18;
        return new TTextureImage("");
    }();
    if (size == 0) {
        return;
    }
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (file == nullptr) {
        return;
    }
    image->ReleasePixels();
    bool loaded = false;
    try {
        loaded = read(*image, file);
    } catch (const EInOutError&) {
    } catch (const EJPEG&) {
    }
    std::fclose(file);
    if (loaded) {
        // A loaded picture holds exactly Width × Height pixels: touch the last byte.
        if (image->Pixels == nullptr || image->Width <= 0 || image->Height <= 0) {
            std::abort();
        }
        const std::size_t bytes = std::size_t(image->Width) * std::size_t(image->Height) * 4;
        volatile std::uint8_t last = image->Pixels[bytes - 1];
        (void)last;
    } else if (image->Pixels != nullptr) {
        std::abort(); // a failed read leaves no buffer
    }
}
