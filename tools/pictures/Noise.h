// Deterministic hashing and lattice noise for the picture generator. Everything here is
// a pure function of its arguments, so every build draws the same pictures.
#pragma once

#include <cstdint>

// Well-mixed 32-bit hash of a lattice cell and a seed.
std::uint32_t HashCell(std::int32_t x, std::int32_t y, std::uint32_t seed);
// The hash as a float in [0, 1).
float HashUnit(std::int32_t x, std::int32_t y, std::uint32_t seed);

// Gradient noise in about −1..1 with one lattice cell per unit; the lattice wraps every
// `period` cells in both directions, so the noise tiles with that period.
float PeriodicNoise(float x, float y, int period, std::uint32_t seed);
// Sum of `octaves` layers of PeriodicNoise, each twice the frequency and half the
// amplitude of the one before; tiles with `period` cells of the first layer.
float PeriodicFbm(float x, float y, int period, int octaves, std::uint32_t seed);
