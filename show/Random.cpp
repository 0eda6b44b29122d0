// A 32-bit linear congruential generator; its sequence is part of the show's look,
// so it must match draw for draw.
#include "show/Random.h"

std::uint32_t RandomSeed = 0;

std::uint32_t Random(std::uint32_t n) {
    RandomSeed = RandomSeed * 134775813u + 1u;
    return static_cast<std::uint32_t>((std::uint64_t{n} * RandomSeed) >> 32);
}
