// The process-wide random generator shared by the picture show and the shimmer.
#pragma once

#include <cstdint>

// Starts at 0 and is never reseeded by the show.
extern std::uint32_t RandomSeed;

// Advances the seed (seed ← seed × 134775813 + 1 mod 2³²) and returns the high 32 bits
// of n × seed: an integer from 0 to n − 1.
std::uint32_t Random(std::uint32_t n);
