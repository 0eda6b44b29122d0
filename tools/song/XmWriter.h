// An in-memory FastTracker 2 extended module (XM 1.04) and its byte-exact writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Note values as the pattern stores them: C-4 (middle C) is 49, key-off is 97.
constexpr std::uint8_t XmKeyOff = 97;

struct XmCell {
    std::uint8_t Note = 0;
    std::uint8_t Instrument = 0;
    std::uint8_t Volume = 0; // volume column: 0x10..0x50 sets 0..64, other ranges are effects
    std::uint8_t Effect = 0;
    std::uint8_t Param = 0;
};

struct XmPattern {
    int Rows = 64;
    int Channels = 8;
    std::vector<XmCell> Cells; // Rows × Channels, row-major

    XmPattern(int rows, int channels);
    XmCell& At(int row, int channel);
    const XmCell& At(int row, int channel) const;
};

struct XmEnvelopePoint {
    std::uint16_t Tick = 0;
    std::uint16_t Value = 0;
};

// An envelope is on when it has points; Sustain < 0 means no sustain point.
struct XmEnvelope {
    std::vector<XmEnvelopePoint> Points;
    int Sustain = -1;
};

// One instrument holds exactly one 16-bit mono sample.
struct XmInstrument {
    std::string Name;
    std::vector<std::int16_t> Frames;
    bool Looped = false;
    std::uint32_t LoopStart = 0;  // frames
    std::uint32_t LoopLength = 0; // frames
    std::uint8_t Volume = 64;
    std::int8_t Finetune = 0;
    std::uint8_t Panning = 128;
    std::int8_t RelativeNote = 0;
    XmEnvelope VolumeEnvelope;
    std::uint16_t Fadeout = 0;
    std::uint8_t VibratoType = 0;
    std::uint8_t VibratoSweep = 0;
    std::uint8_t VibratoDepth = 0;
    std::uint8_t VibratoRate = 0;
};

struct XmModule {
    std::string Name;
    std::string Tracker;
    int Channels = 8;
    int Speed = 6; // ticks per row
    int Bpm = 125;
    int Restart = 0;
    std::vector<std::uint8_t> Orders;
    std::vector<XmPattern> Patterns;
    std::vector<XmInstrument> Instruments;
};

// Serialises the module. Throws std::invalid_argument for anything one of the players
// would reject or read differently (see the checks inside).
std::vector<std::uint8_t> WriteXm(const XmModule& module);
