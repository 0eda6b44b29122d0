// Integer synthesis of the song's drums, effects and looped tones. Sines come from a
// table built with a fixed-point polynomial, noise from a seeded 32-bit generator,
// envelopes and filters from Q16/Q30 multiplications: no floating point anywhere.
#include "tools/song/Synth.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr std::int64_t One30 = std::int64_t{1} << 30;
constexpr int Rate = 44100;
// How hard the kick, snare and bass go into the soft clipper, in sixteenths of full
// scale: denser sounds give the mix its loudness without raising its peaks as much.
constexpr std::int64_t KickDrive = 32;
constexpr std::int64_t SnareDrive = 24;
constexpr std::int64_t BassDrive = 18;

// sin(x · π/2) for x in [0, 1] as Q30, Taylor series to the 13th power.
std::int64_t QuarterSineQ30(std::int64_t x) {
    static const std::int64_t a[] = {1686629713, -693598668, 85569306, -5026995, 172272, -3864, 61};
    std::int64_t x2 = (x * x) >> 30;
    std::int64_t y = a[6];
    for (int i = 5; i >= 0; --i)
        y = ((y * x2) >> 30) + a[i];
    return (y * x) >> 30;
}

const std::array<std::int32_t, 4097>& SineTable() {
    static const std::array<std::int32_t, 4097> table = [] {
        std::array<std::int32_t, 4097> t{};
        for (int i = 0; i <= 4096; ++i) {
            int quadrant = (i / 1024) & 3;
            std::int64_t x = std::int64_t{i % 1024} << 20;
            std::int64_t v = (quadrant & 1) ? QuarterSineQ30(One30 - x) : QuarterSineQ30(x);
            v = std::clamp<std::int64_t>(v, -One30, One30);
            t[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(quadrant >= 2 ? -v : v);
        }
        return t;
    }();
    return table;
}

struct Noise {
    std::uint32_t State;
    explicit Noise(std::uint32_t seed) : State(seed) {}
    // Uniform in [-32768, 32767].
    std::int32_t Next() {
        State = State * 1664525u + 1013904223u;
        return static_cast<std::int32_t>(State >> 16) - 32768;
    }
};

// Exponential decay: multiply a Q30 level by this every frame; tau in frames.
std::int64_t DecayFactor(std::int64_t tau) {
    return One30 - One30 / tau;
}

// Phase step per frame for a frequency in millihertz at the drum rate.
std::uint32_t PhaseStep(std::int64_t milliHz) {
    return static_cast<std::uint32_t>((milliHz << 32) / (std::int64_t{Rate} * 1000));
}

// One-pole low-pass; Coefficient is Q16 (65536 passes everything).
struct LowPass {
    std::int64_t Coefficient;
    std::int64_t State = 0;
    std::int64_t Run(std::int64_t x) {
        State += ((x - State) * Coefficient) >> 16;
        return State;
    }
};

// Linear fade over the last frames so a one-shot ends at silence.
void FadeTail(std::vector<std::int64_t>& raw, std::size_t frames) {
    std::size_t n = raw.size();
    frames = std::min(frames, n);
    for (std::size_t i = 0; i < frames; ++i) {
        std::size_t at = n - frames + i;
        raw[at] =
            raw[at] * static_cast<std::int64_t>(frames - i) / static_cast<std::int64_t>(frames);
    }
}

// Gentle saturation, 1.5x − 0.5x³ on a Q15 signal clamped to full scale: rounds the
// peaks off smoothly, so a sound keeps its weight at a lower peak.
std::int64_t SoftClip(std::int64_t x) {
    std::int64_t d = std::clamp<std::int64_t>(x, -32767, 32767);
    return (3 * d - ((((d * d) >> 15) * d) >> 15)) / 2;
}

// Scales raw so that its largest magnitude becomes drive/16 of full scale, then
// saturates it; a drive above 16 squeezes the peaks.
void Saturate(std::vector<std::int64_t>& raw, std::int64_t drive) {
    std::int64_t largest = 0;
    for (std::int64_t v : raw)
        largest = std::max(largest, v < 0 ? -v : v);
    if (largest == 0)
        return;
    std::int64_t shift = 0;
    while ((largest >> shift) > (std::int64_t{1} << 31))
        ++shift;
    std::int64_t denominator = largest >> shift;
    for (std::int64_t& v : raw)
        v = SoftClip((v >> shift) * 32767 * drive / 16 / denominator);
}

// Adds a sine partial with a whole number of cycles over a loop of raw.size() frames.
void AddPartial(std::vector<std::int64_t>& raw, std::int64_t cycles, std::int64_t amplitude,
                std::uint32_t phaseOffset) {
    std::int64_t length = static_cast<std::int64_t>(raw.size());
    for (std::int64_t i = 0; i < length; ++i) {
        std::int64_t position = (cycles * i) % length;
        std::uint32_t phase = static_cast<std::uint32_t>((position << 32) / length) + phaseOffset;
        raw[static_cast<std::size_t>(i)] += SineQ30(phase) * amplitude;
    }
}

// Six detuned square oscillators: the metallic ring of cymbals.
std::int64_t Metal(std::array<std::uint32_t, 6>& phases,
                   const std::array<std::uint32_t, 6>& steps) {
    std::int64_t sum = 0;
    for (std::size_t k = 0; k < phases.size(); ++k) {
        phases[k] += steps[k];
        sum += (phases[k] & 0x80000000u) ? -5000 : 5000;
    }
    return sum;
}

std::vector<std::int16_t> Cymbal(std::size_t frames, std::int64_t tau, std::uint32_t seed,
                                 std::int64_t highPass, std::int64_t metalShare) {
    static const std::array<std::int64_t, 6> milliHz = {587000,  845000,  1113000,
                                                        1479000, 1871000, 2617000};
    std::array<std::uint32_t, 6> steps{};
    std::array<std::uint32_t, 6> phases{};
    for (std::size_t k = 0; k < steps.size(); ++k)
        steps[k] = PhaseStep(milliHz[k]);
    Noise noise(seed);
    LowPass lowA{highPass}, lowB{highPass}, smooth{52000};
    std::vector<std::int64_t> raw(frames);
    std::int64_t level = One30;
    std::int64_t decay = DecayFactor(tau);
    for (std::size_t i = 0; i < frames; ++i) {
        std::int64_t x = noise.Next() * (256 - metalShare) + Metal(phases, steps) * metalShare;
        std::int64_t hp = x - lowA.Run(x);
        hp = hp - lowB.Run(hp);
        std::int64_t y = smooth.Run(hp);
        std::int64_t attack = i < 40 ? static_cast<std::int64_t>(i) : 40;
        raw[i] = ((y * level) >> 30) * attack / 40;
        level = (level * decay) >> 30;
    }
    FadeTail(raw, frames / 5);
    return NormaliseFrames(raw, 30000);
}

} // namespace

std::int32_t SineQ30(std::uint32_t phase) {
    const auto& t = SineTable();
    std::uint32_t index = phase >> 20;
    std::int64_t frac = (phase >> 4) & 0xFFFF;
    std::int64_t a = t[index];
    std::int64_t b = t[index + 1];
    return static_cast<std::int32_t>(a + (((b - a) * frac) >> 16));
}

std::vector<std::int16_t> NormaliseFrames(const std::vector<std::int64_t>& raw, int peak) {
    if (peak < 1 || peak > 32767)
        throw std::invalid_argument("normalisation peak out of range");
    std::int64_t largest = 0;
    for (std::int64_t v : raw)
        largest = std::max(largest, v < 0 ? -v : v);
    std::vector<std::int16_t> out(raw.size());
    if (largest == 0)
        return out;
    // Scale in two steps so that neither product overflows 64 bits.
    std::int64_t shift = 0;
    while ((largest >> shift) > (std::int64_t{1} << 31))
        ++shift;
    std::int64_t denominator = largest >> shift;
    for (std::size_t i = 0; i < raw.size(); ++i)
        out[i] = static_cast<std::int16_t>(((raw[i] >> shift) * peak) / denominator);
    return out;
}

std::vector<std::int16_t> SynthKick() {
    const std::size_t frames = Rate * 42 / 100;
    std::vector<std::int64_t> raw(frames);
    std::int64_t pitch = One30;
    std::int64_t pitchDecay = DecayFactor(1300);
    std::int64_t level = One30;
    std::int64_t levelDecay = DecayFactor(7000);
    std::uint32_t phase = 0;
    Noise noise(0x4B1C4u);
    LowPass clickFilter{20000};
    for (std::size_t i = 0; i < frames; ++i) {
        std::int64_t milliHz = 46000 + ((124000 * pitch) >> 30);
        phase += PhaseStep(milliHz);
        std::int64_t attack = i < 44 ? static_cast<std::int64_t>(i) : 44;
        std::int64_t x = ((std::int64_t{SineQ30(phase)} >> 15) * level >> 30) * attack / 44;
        std::int64_t y = SoftClip(x * KickDrive / 16);
        std::int64_t click = 0;
        if (i < 260)
            click = clickFilter.Run(noise.Next()) * static_cast<std::int64_t>(260 - i) / 260 / 3;
        raw[i] = y + click;
        pitch = (pitch * pitchDecay) >> 30;
        level = (level * levelDecay) >> 30;
    }
    FadeTail(raw, 1500);
    return NormaliseFrames(raw, 30000);
}

std::vector<std::int16_t> SynthSnare() {
    const std::size_t frames = Rate * 28 / 100;
    std::vector<std::int64_t> raw(frames);
    std::uint32_t phaseA = 0, phaseB = 0;
    std::int64_t tone = One30, toneDecay = DecayFactor(1800);
    std::int64_t hiss = One30, hissDecay = DecayFactor(5200);
    Noise noise(0x5A4Eu);
    LowPass rumble{9830}, soften{40000};
    for (std::size_t i = 0; i < frames; ++i) {
        phaseA += PhaseStep(182000);
        phaseB += PhaseStep(331000);
        std::int64_t body = (std::int64_t{SineQ30(phaseA)} + SineQ30(phaseB) / 2) >> 15;
        std::int64_t n = noise.Next();
        std::int64_t hp = soften.Run(n - rumble.Run(n));
        std::int64_t attack = i < 30 ? static_cast<std::int64_t>(i) : 30;
        raw[i] = (((body * tone) >> 30) * 7 / 10 + ((hp * hiss) >> 30)) * attack / 30;
        tone = (tone * toneDecay) >> 30;
        hiss = (hiss * hissDecay) >> 30;
    }
    Saturate(raw, SnareDrive);
    FadeTail(raw, 2000);
    return NormaliseFrames(raw, 30000);
}

std::vector<std::int16_t> SynthHat(bool open) {
    return open ? Cymbal(Rate / 2, 6000, 0x0FE17u, 36000, 110)
                : Cymbal(Rate * 9 / 100, 700, 0xC105Eu, 36000, 90);
}

std::vector<std::int16_t> SynthCrash() {
    return Cymbal(Rate * 18 / 10, 22000, 0xC3A54u, 30000, 70);
}

std::vector<std::int16_t> SynthRiser() {
    const std::size_t frames = Rate * 24 / 10;
    std::vector<std::int64_t> raw(frames);
    Noise noise(0x21535u);
    LowPass sweep{600}, sweep2{600}, rumble{1500};
    const std::int64_t n = static_cast<std::int64_t>(frames);
    for (std::int64_t i = 0; i < n; ++i) {
        // Cut-off opens along a square curve; the level rises with it.
        std::int64_t progress = (i << 16) / n; // Q16
        std::int64_t curve = (progress * progress) >> 16;
        sweep.Coefficient = 500 + ((curve * 42000) >> 16);
        sweep2.Coefficient = sweep.Coefficient;
        std::int64_t x = sweep2.Run(sweep.Run(noise.Next()));
        x -= rumble.Run(x);
        raw[static_cast<std::size_t>(i)] = (x * (curve + 2000)) >> 16;
    }
    FadeTail(raw, 400);
    return NormaliseFrames(raw, 30000);
}

std::vector<std::int16_t> SynthBass() {
    const std::int64_t loopCycles = 64;
    std::vector<std::int64_t> raw(static_cast<std::size_t>(ToneCycleFrames * loopCycles));
    static const std::int64_t amplitude[] = {1000, 300, 180, 100, 70, 50, 35, 25};
    for (std::int64_t h = 1; h <= 8; ++h) {
        AddPartial(raw, h * loopCycles, amplitude[h - 1], 0);
        // A slightly detuned copy of the upper partials gives the bass a slow growl
        // while the fundamental stays clean.
        if (h >= 2)
            AddPartial(raw, h * (loopCycles + 1), amplitude[h - 1] * 7 / 10,
                       static_cast<std::uint32_t>(h) * 0x2F000000u);
    }
    Saturate(raw, BassDrive);
    return NormaliseFrames(raw, 30000);
}

std::vector<std::int16_t> SynthPad(bool minor) {
    // 120 root cycles per loop; the other tones are the nearest whole numbers of cycles
    // to equal-tempered intervals (within 4 cents).
    const std::int64_t root = 120;
    std::vector<std::int64_t> raw(static_cast<std::size_t>(ToneCycleFrames * root));
    static const std::int64_t harmonic[] = {1000, 420, 260, 170, 110, 70, 45, 30, 20, 12};
    struct Tone {
        std::int64_t Cycles;
        std::int64_t Weight;
    };
    const Tone tones[] = {{root, 1000}, {minor ? 143 : 151, 750}, {180, 750}, {240, 450}};
    std::uint32_t offset = 0x13579BDFu;
    for (const Tone& t : tones) {
        for (std::int64_t detune = 0; detune <= 1; ++detune) {
            for (std::int64_t h = 1; h <= 10; ++h) {
                offset = offset * 1103515245u + 12345u;
                AddPartial(raw, h * (t.Cycles + detune), t.Weight * harmonic[h - 1] / 2000, offset);
            }
        }
    }
    AddPartial(raw, root / 2, 600, 0);
    AddPartial(raw, root, 150, 0x40000000u);
    return NormaliseFrames(raw, 30000);
}

std::vector<std::int16_t> SynthLead() {
    const std::int64_t root = 100;
    std::vector<std::int64_t> raw(static_cast<std::size_t>(ToneCycleFrames * root));
    for (std::int64_t voice = 0; voice <= 1; ++voice) {
        for (std::int64_t h = 1; h <= 16; ++h) {
            std::int64_t amplitude = (h % 2 ? 1000 : 500) / h;
            AddPartial(raw, h * (root + voice), amplitude,
                       static_cast<std::uint32_t>(voice * h) * 0x51000000u);
        }
    }
    return NormaliseFrames(raw, 30000);
}

std::vector<std::int16_t> SynthBell() {
    std::vector<std::int64_t> raw(ToneCycleFrames);
    static const std::int64_t partials[][2] = {{1, 1000}, {2, 500}, {3, 180}, {4, 260},
                                               {5, 60},   {6, 90},  {8, 40}};
    for (const auto& p : partials)
        AddPartial(raw, p[0], p[1], 0);
    return NormaliseFrames(raw, 30000);
}
