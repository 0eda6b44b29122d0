// The song's instruments, synthesised with integer arithmetic only so that the same
// bytes come out on every machine and compiler.
#pragma once

#include <cstdint>
#include <vector>

// Sine of a phase given as a fraction of a full turn (2^32 = one turn), in Q30.
std::int32_t SineQ30(std::uint32_t phase);

// Scales raw frames so that the largest magnitude becomes peak (≤ 32767).
std::vector<std::int16_t> NormaliseFrames(const std::vector<std::int64_t>& raw, int peak);

// One-shot drums and effects, rendered at 44100 frames per second.
std::vector<std::int16_t> SynthKick();
std::vector<std::int16_t> SynthSnare();
std::vector<std::int16_t> SynthHat(bool open);
std::vector<std::int16_t> SynthCrash();
std::vector<std::int16_t> SynthRiser();

// Looped tones. Each holds a whole number of 256-frame cycles of its root, so that
// relative note 36 plays the root as middle C at note C-4; detuned voices use a
// neighbouring whole number of cycles over the loop so the loop joins seamlessly.
constexpr int ToneCycleFrames = 256;
std::vector<std::int16_t> SynthBass();
// Chord pad: root, third, fifth, octave and sub-octave; minor or major third.
std::vector<std::int16_t> SynthPad(bool minor);
std::vector<std::int16_t> SynthLead();
std::vector<std::int16_t> SynthBell();
