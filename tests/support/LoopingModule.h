// A song for tests that loops many times within a short test.
#pragma once

#include <cstring>
#include <vector>

// A four-channel MOD whose song is one row at speed 1 (20 ms), so it loops many times
// within a short test: a looped square-wave note, speed 1, then a pattern break.
inline std::vector<unsigned char> MakeLoopingMod() {
    constexpr int SampleWords = 32;
    std::vector<unsigned char> mod(1084 + 1024 + 2 * SampleWords, 0);
    std::memcpy(mod.data(), "loop", 4);
    unsigned char* sample = &mod[20];
    sample[22] = 0; // length in words, big-endian
    sample[23] = SampleWords;
    sample[25] = 64; // volume
    sample[28] = 0;  // loop length in words
    sample[29] = SampleWords;
    mod[950] = 1; // one order
    mod[951] = 127;
    mod[952] = 0; // order 0 plays pattern 0
    std::memcpy(&mod[1080], "M.K.", 4);
    unsigned char* row = &mod[1084];
    const int period = 428;
    row[0] = static_cast<unsigned char>(period >> 8); // sample 1, high bits of period
    row[1] = static_cast<unsigned char>(period & 0xFF);
    row[2] = 0x10;
    row[4 + 2] = 0x0F; // speed 1
    row[4 + 3] = 0x01;
    row[8 + 2] = 0x0D; // pattern break to row 0
    for (int i = 0; i < 2 * SampleWords; ++i) {
        mod[1084 + 1024 + i] = i < SampleWords ? 0x40 : 0xC0;
    }
    return mod;
}
