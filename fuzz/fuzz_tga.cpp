// Fuzz target for the TGA reader: every input is read as a TGA file from memory.
#include "fuzz/FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzRead(data, size,
             [](TTextureImage& image, std::FILE* file) { return image.ReadTgaStream(file); });
    return 0;
}
