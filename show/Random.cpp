// The process-wide random generator; its sequence is part of the show's look, so it
// must match draw for draw.
#include "show/Random.h"

#include "show/Timeline.h"

std::uint32_t RandomSeed = ShowState{}.Seed;

std::uint32_t Random(std::uint32_t n) {
    return NextRandom(RandomSeed, n);
}
