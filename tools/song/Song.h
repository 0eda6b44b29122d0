// The show's default song: instruments, channels and the arrangement, composed to the
// show's timeline (titles 0–10 s, pictures from 10 s, overlay from 14 s, credits end at
// 72.8 s, show ends at 84 s).
#pragma once

#include "tools/song/XmWriter.h"

#include <vector>

// Instrument numbers as the pattern cells use them.
enum SongInstrument : std::uint8_t {
    Kick = 1,
    Snare,
    ClosedHat,
    OpenHat,
    Crash,
    Riser,
    Bass,
    PadMinor,
    PadMajor,
    Lead,
    Bell,
    InstrumentCount = Bell
};

// Channel roles.
enum SongChannel : int {
    KickChannel = 0,
    SnareChannel,
    HatChannel,
    BassChannel,
    PadChannel,
    LeadChannel, // also the second pad voice in the intro and the outro
    ArpChannel,
    EffectChannel, // crash, riser, echoes
    ChannelCount
};

// The song's landmarks in milliseconds of music. The intro runs at 125 BPM, 4 ticks a
// row (80 ms rows, 32 rows per 2.56 s title pulse); from the beat on, 200 BPM, 7 ticks a
// row (87.5 ms rows, 16 rows per 1.4 s bar, so every 2.8 s credits line starts a bar).
constexpr int SongPickupMs = 10000; // drums enter with the first picture
constexpr int SongBeatMs = 11200;   // full groove with the first credits line
constexpr int SongLiftMs = 14000;   // lead and open beat with the overlay
constexpr int SongCalmMs = 72800;   // outro once the credits end
constexpr int SongLengthMs = 95200;

std::vector<XmInstrument> BuildInstruments();
XmModule ComposeSong();
