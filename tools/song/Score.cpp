// The arrangement of the default song, in A minor. Intro: a pad swell per title pulse
// with a soft bell, a riser into the first picture. Then a two-step beat at 171 beats a
// minute (drum and bass feel) over i–VI–III–VII, a melody from the overlay on, chord
// changes, a breakdown with a build, a new progression, a climax, and a calm outro of
// pad, bell and echoes that fades before the song loops.
#include "tools/song/Song.h"

#include <algorithm>
#include <stdexcept>

namespace {

enum Pitch { C = 0, Cs, D, Ds, E, F, Fs, G, Gs, A, As, B };

constexpr std::uint8_t N(int pitch, int octave) {
    return static_cast<std::uint8_t>(octave * 12 + pitch + 1);
}

constexpr std::uint8_t Vol(int v) {
    return static_cast<std::uint8_t>(0x10 + v);
}

// The mix: the score writes each part's dynamics, and each instrument's fader (in
// sixteenths) sets where it sits in the mix and how loud the whole song plays.
constexpr int FaderUnity = 16;
constexpr int Faders[InstrumentCount] = {
    16, // kick
    16, // snare
    32, // closed hat
    32, // open hat
    24, // crash
    16, // riser
    20, // bass
    32, // pad minor
    32, // pad major
    30, // lead
    34, // bell
};

// A note's volume after its fader, rounded to the nearest step. A fader may not push
// a note past full volume: that would flatten the dynamics the score wrote.
std::uint8_t Mixed(std::uint8_t instrument, int volume) {
    if (instrument < 1 || instrument > InstrumentCount || volume < 0 || volume > 64)
        throw std::invalid_argument("note volume out of range");
    int v = (volume * Faders[instrument - 1] + FaderUnity / 2) / FaderUnity;
    if (v > 64)
        throw std::invalid_argument("a fader pushes a note past full volume");
    return Vol(v);
}

struct Chord {
    int Root;
    bool Minor;
};

constexpr Chord Am{A, true}, Dm{D, true}, Em{E, true};
constexpr Chord FM{F, false}, CM{C, false}, GM{G, false}, EM{E, false};

constexpr int BarRows = 16;
constexpr std::uint8_t FxSpeed = 0xF, FxExtended = 0xE;

struct Sheet {
    XmPattern P;
    explicit Sheet(int rows) : P(rows, ChannelCount) {}

    void Note(int row, int channel, std::uint8_t note, std::uint8_t instrument, int volume) {
        XmCell& c = P.At(row, channel);
        c.Note = note;
        c.Instrument = instrument;
        c.Volume = Mixed(instrument, volume);
    }
    void Off(int row, int channel) {
        XmCell& c = P.At(row, channel);
        c.Note = XmKeyOff;
        c.Instrument = 0;
    }
    void Effect(int row, int channel, std::uint8_t effect, std::uint8_t param) {
        XmCell& c = P.At(row, channel);
        c.Effect = effect;
        c.Param = param;
    }
    void Column(int row, int channel, std::uint8_t value) { P.At(row, channel).Volume = value; }
};

struct MelodyNote {
    int Row;
    std::uint8_t Note;
    int Length;
};
using Melody = std::vector<MelodyNote>;

// Notes with a key-off where each ends, unless the next note starts right there.
void WriteMelody(Sheet& s, int channel, std::uint8_t instrument, const Melody& m, int volume,
                 int transpose = 0) {
    for (std::size_t i = 0; i < m.size(); ++i) {
        s.Note(m[i].Row, channel, static_cast<std::uint8_t>(m[i].Note + transpose), instrument,
               volume);
        int end = m[i].Row + m[i].Length;
        bool joined = i + 1 < m.size() && m[i + 1].Row == end;
        if (!joined && end < s.P.Rows)
            s.Off(end, channel);
    }
}

// A quieter copy of a melody three rows (a dotted sixteenth) later on the effect
// channel, from row `from` up to (not including) row `until`, never over another event.
void WriteEcho(Sheet& s, const Melody& m, int volume, int from, int until) {
    const int delay = 3;
    for (std::size_t i = 0; i < m.size(); ++i) {
        int row = m[i].Row + delay;
        if (row < from || row >= until || s.P.At(row, EffectChannel).Note != 0)
            continue;
        s.Note(row, EffectChannel, m[i].Note, Lead, volume);
        int end = row + m[i].Length;
        bool joined = i + 1 < m.size() && m[i + 1].Row + delay == end;
        if (!joined && end < until)
            s.Off(end, EffectChannel);
    }
}

// Pad voicing keeps every root between F-3 and E-4; bass roots between G-1 and F#2.
std::uint8_t PadNote(Chord c) {
    return N(c.Root, c.Root >= F ? 3 : 4);
}
std::uint8_t BassNote(Chord c) {
    return N(c.Root, c.Root >= G ? 1 : 2);
}
std::uint8_t PadInstrument(Chord c) {
    return c.Minor ? PadMinor : PadMajor;
}

// Chord tones for the arpeggio, from the root one octave above the pad.
std::uint8_t ArpTone(Chord c, int step) {
    static const int majorSteps[] = {0, 4, 7, 12, 16, 19};
    static const int minorSteps[] = {0, 3, 7, 12, 15, 19};
    int base = PadNote(c) + 12;
    return static_cast<std::uint8_t>(base + (c.Minor ? minorSteps[step] : majorSteps[step]));
}

enum class Drums { None, Basic, Full, Roll, Half, Calm };

void DrumBar(Sheet& s, int bar, Drums style, bool fill) {
    int r = bar * BarRows;
    switch (style) {
    case Drums::None:
        break;
    case Drums::Basic:
        s.Note(r + 0, KickChannel, N(C, 4), Kick, 60);
        s.Note(r + 10, KickChannel, N(C, 4), Kick, 52);
        s.Note(r + 4, SnareChannel, N(C, 4), Snare, 54);
        s.Note(r + 12, SnareChannel, N(C, 4), Snare, 54);
        for (int i = 0; i < BarRows; i += 2)
            s.Note(r + i, HatChannel, N(C, 4), ClosedHat, i % 4 == 0 ? 26 : 18);
        break;
    case Drums::Full:
        s.Note(r + 0, KickChannel, N(C, 4), Kick, 62);
        s.Note(r + 10, KickChannel, N(C, 4), Kick, 54);
        if (bar % 2 == 1)
            s.Note(r + 7, KickChannel, N(C, 4), Kick, 36);
        s.Note(r + 4, SnareChannel, N(C, 4), Snare, 58);
        s.Note(r + 12, SnareChannel, N(C, 4), Snare, 58);
        s.Note(r + (bar % 2 ? 15 : 9), SnareChannel, N(C, 4), Snare, 16);
        for (int i = 0; i < BarRows; ++i) {
            if (i == 6 || i == 14)
                s.Note(r + i, HatChannel, N(C, 4), OpenHat, 20);
            else
                s.Note(r + i, HatChannel, N(C, 4), ClosedHat, i % 2 == 0 ? 28 : 14);
        }
        break;
    case Drums::Roll:
        // A rolling variant: a pushed second kick, ghost snares and open hats on the
        // off-beats.
        s.Note(r + 0, KickChannel, N(C, 4), Kick, 62);
        s.Note(r + 10, KickChannel, N(C, 4), Kick, 50);
        s.Note(r + (bar % 2 ? 11 : 3), KickChannel, N(C, 4), Kick, 40);
        s.Note(r + 4, SnareChannel, N(C, 4), Snare, 58);
        s.Note(r + 12, SnareChannel, N(C, 4), Snare, 58);
        s.Note(r + 7, SnareChannel, N(C, 4), Snare, 14);
        s.Note(r + 14, SnareChannel, N(C, 4), Snare, 12);
        for (int i = 0; i < BarRows; ++i) {
            if (i % 4 == 2)
                s.Note(r + i, HatChannel, N(C, 4), OpenHat, 16);
            else
                s.Note(r + i, HatChannel, N(C, 4), ClosedHat, i % 2 == 0 ? 26 : 12);
        }
        break;
    case Drums::Half:
        s.Note(r + 0, KickChannel, N(C, 4), Kick, 56);
        s.Note(r + 8, SnareChannel, N(C, 4), Snare, 50);
        for (int i = 0; i < BarRows; i += 2)
            s.Note(r + i, HatChannel, N(C, 4), ClosedHat, 20);
        break;
    case Drums::Calm:
        s.Note(r + 0, KickChannel, N(C, 4), Kick, 30);
        s.Note(r + 4, HatChannel, N(C, 4), ClosedHat, 10);
        s.Note(r + 12, HatChannel, N(C, 4), ClosedHat, 10);
        break;
    }
    if (fill) {
        // Snare run over the last half bar, rising; the last hits roll on ticks.
        static const int rows[] = {8, 10, 11, 12, 13, 14, 15};
        int v = 28;
        for (int i : rows) {
            s.Note(r + i, SnareChannel, N(C, 4), Snare, v);
            v += 6;
        }
        s.Effect(r + 14, SnareChannel, FxExtended, 0x93);
        s.Effect(r + 15, SnareChannel, FxExtended, 0x92);
        for (int i = 12; i < BarRows; ++i)
            s.P.At(r + i, HatChannel) = XmCell{};
        s.Off(r + 12, HatChannel);
    }
}

enum class Bassline { None, Long, Groove, Syncopated };

void BassBar(Sheet& s, int bar, Chord c, Bassline style, int volume) {
    int r = bar * BarRows;
    std::uint8_t root = BassNote(c);
    switch (style) {
    case Bassline::None:
        break;
    case Bassline::Long:
        s.Note(r, BassChannel, root, Bass, volume);
        break;
    case Bassline::Groove:
        s.Note(r, BassChannel, root, Bass, volume);
        s.Off(r + 7, BassChannel);
        s.Note(r + 10, BassChannel, root, Bass, volume - 6);
        s.Off(r + 13, BassChannel);
        s.Note(r + 14, BassChannel, static_cast<std::uint8_t>(root + 12), Bass, volume - 14);
        break;
    case Bassline::Syncopated:
        s.Note(r, BassChannel, root, Bass, volume);
        s.Note(r + 3, BassChannel, static_cast<std::uint8_t>(root + 12), Bass, volume - 16);
        s.Note(r + 6, BassChannel, root, Bass, volume - 4);
        s.Off(r + 9, BassChannel);
        s.Note(r + 10, BassChannel, root, Bass, volume - 6);
        s.Note(r + 13, BassChannel, static_cast<std::uint8_t>(root + 7), Bass, volume - 10);
        break;
    }
}

void ArpBar(Sheet& s, int bar, Chord c, int volume, int figure) {
    static const int orders[2][BarRows] = {{0, 1, 2, 3, 4, 3, 2, 1, 0, 2, 3, 5, 4, 3, 2, 1},
                                           {0, 2, 4, 2, 1, 3, 5, 3, 2, 4, 3, 1, 0, 2, 1, 3}};
    int r = bar * BarRows;
    for (int i = 0; i < BarRows; ++i)
        s.Note(r + i, ArpChannel, ArpTone(c, orders[figure][i]), Bell,
               i % 4 == 0 ? volume : volume - 6);
}

struct Section {
    std::vector<Chord> Chords; // one per bar
    Drums DrumStyle = Drums::Full;
    bool FillAtEnd = false;
    Bassline BassStyle = Bassline::Groove;
    int PadVolume = 26;
    bool Arp = false;
    int ArpFigure = 0;
    bool CrashAtStart = false;
    const Melody* Lead = nullptr;
    int LeadVolume = 34;
    int EchoUntil = 256; // the echo stays clear of effects placed later in the pattern
};

// One pattern of the main part: a bar of 16 rows per chord.
XmPattern MainPattern(const Section& section) {
    Sheet s(static_cast<int>(section.Chords.size()) * BarRows);
    int bars = static_cast<int>(section.Chords.size());
    for (int bar = 0; bar < bars; ++bar) {
        Chord c = section.Chords[static_cast<std::size_t>(bar)];
        DrumBar(s, bar, section.DrumStyle, section.FillAtEnd && bar == bars - 1);
        BassBar(s, bar, c, section.BassStyle, 50);
        bool changed = bar == 0 ||
                       section.Chords[static_cast<std::size_t>(bar - 1)].Root != c.Root ||
                       section.Chords[static_cast<std::size_t>(bar - 1)].Minor != c.Minor;
        if (changed)
            s.Note(bar * BarRows, PadChannel, PadNote(c), PadInstrument(c), section.PadVolume);
        if (section.Arp)
            ArpBar(s, bar, c, 18, section.ArpFigure);
    }
    if (section.CrashAtStart)
        s.Note(0, EffectChannel, N(C, 4), Crash, 30);
    if (section.Lead) {
        WriteMelody(s, LeadChannel, Lead, *section.Lead, section.LeadVolume);
        // After a crash the echo waits for its ring to die down.
        WriteEcho(s, *section.Lead, section.LeadVolume * 2 / 5, section.CrashAtStart ? 20 : 0,
                  std::min(section.EchoUntil, s.P.Rows));
    } else
        s.Off(0, LeadChannel);
    return s.P;
}

// Melodies, one 64-row phrase each (row, note, length in rows).
const Melody Theme = {{0, N(A, 4), 6},  {6, N(C, 5), 4},  {10, N(E, 5), 6}, {16, N(F, 5), 6},
                      {22, N(E, 5), 4}, {26, N(C, 5), 6}, {32, N(G, 5), 6}, {38, N(E, 5), 4},
                      {42, N(C, 5), 4}, {46, N(D, 5), 2}, {48, N(D, 5), 8}, {56, N(B, 4), 4},
                      {60, N(G, 4), 4}};
const Melody Answer = {{0, N(E, 5), 6},  {6, N(A, 5), 4},  {10, N(G, 5), 6}, {16, N(F, 5), 4},
                       {20, N(E, 5), 4}, {24, N(F, 5), 4}, {28, N(A, 5), 4}, {32, N(G, 5), 6},
                       {38, N(E, 5), 6}, {44, N(C, 5), 4}, {48, N(B, 4), 6}, {54, N(D, 5), 4},
                       {58, N(E, 5), 6}};
const Melody Rise = {{0, N(A, 5), 4},   {4, N(G, 5), 2},  {6, N(F, 5), 4},  {10, N(C, 5), 6},
                     {16, N(B, 4), 4},  {20, N(D, 5), 2}, {22, N(G, 5), 4}, {26, N(D, 5), 6},
                     {32, N(E, 5), 4},  {36, N(G, 5), 2}, {38, N(B, 5), 4}, {42, N(G, 5), 6},
                     {48, N(A, 5), 10}, {58, N(E, 5), 6}};
const Melody RiseHigh = {{0, N(C, 6), 4},  {4, N(A, 5), 2},  {6, N(F, 5), 4},  {10, N(A, 5), 6},
                         {16, N(B, 5), 4}, {20, N(G, 5), 2}, {22, N(D, 5), 4}, {26, N(G, 5), 6},
                         {32, N(B, 5), 6}, {38, N(G, 5), 4}, {42, N(E, 5), 6}, {48, N(A, 5), 14}};
const Melody Turn = {{0, N(D, 5), 3},   {3, N(F, 5), 3},  {6, N(A, 5), 4},  {10, N(F, 5), 6},
                     {16, N(C, 6), 3},  {19, N(A, 5), 3}, {22, N(F, 5), 4}, {26, N(A, 5), 6},
                     {32, N(G, 5), 3},  {35, N(E, 5), 3}, {38, N(C, 5), 4}, {42, N(E, 5), 6},
                     {48, N(Gs, 5), 6}, {54, N(B, 5), 4}, {58, N(E, 5), 6}};
const Melody TurnBack = {{0, N(F, 5), 6},  {6, N(D, 5), 4},  {10, N(A, 4), 6}, {16, N(C, 5), 6},
                         {22, N(F, 5), 4}, {26, N(A, 5), 6}, {32, N(G, 5), 4}, {36, N(E, 5), 4},
                         {40, N(G, 5), 4}, {44, N(C, 6), 4}, {48, N(B, 5), 8}, {56, N(Gs, 5), 8}};
const Melody Hush = {
    {0, N(C, 5), 8}, {8, N(A, 4), 8}, {16, N(B, 4), 8}, {24, N(D, 5), 8}, {32, N(E, 5), 24}};
const Melody Bridge = {{0, N(A, 5), 8}, {8, N(C, 6), 8}, {16, N(B, 5), 12}, {28, N(D, 5), 4}};

// The intro and the pickup run at 80 ms rows; the first row sets that pace again so a
// looping player gets the intro right on every pass.
std::vector<XmPattern> IntroPatterns() {
    std::vector<XmPattern> out;
    const Chord chords[] = {Am, FM, Dm, EM};
    const int rows[] = {32, 32, 32, 29}; // title pulses of 2.56 s; the last ends at 10 s
    for (int pulse = 0; pulse < 4; ++pulse) {
        Sheet s(rows[pulse]);
        if (pulse == 0) {
            s.Effect(0, KickChannel, FxSpeed, 4);
            s.Effect(0, SnareChannel, FxSpeed, 125);
        }
        Chord c = chords[pulse];
        // Pad voices alternate between two channels so each chord fades under the next;
        // each swells with the picture (one volume step a row, whatever the fader).
        int channel = pulse % 2 ? LeadChannel : PadChannel;
        int other = pulse % 2 ? PadChannel : LeadChannel;
        s.Note(0, channel, PadNote(c), PadInstrument(c), 6);
        if (pulse > 0)
            s.Off(0, other);
        for (int row = 1; row < rows[pulse]; ++row)
            s.Column(row, channel, 0x91);
        // A soft bell figure, echoed quieter three rows later.
        const int figure[] = {5, 2, 1, 2};
        for (int i = 0; i < 4; ++i) {
            int row = i * 8;
            if (row >= rows[pulse])
                break;
            std::uint8_t note = ArpTone(c, figure[i]);
            s.Note(row, ArpChannel, note, Bell, 14 - 2 * i + pulse * 2);
            if (pulse < 3 && row + 3 < rows[pulse])
                s.Note(row + 3, EffectChannel, note, Bell, 8);
        }
        if (pulse == 2)
            s.Note(16, BassChannel, BassNote(Am), Bass, 0);
        if (pulse == 2)
            for (int row = 17; row < 32; ++row)
                s.Column(row, BassChannel, 0x91);
        if (pulse == 3) {
            s.Note(0, BassChannel, N(E, 2), Bass, 12);
            s.Note(0, EffectChannel, N(C, 4), Riser, 26);
        }
        out.push_back(s.P);
    }
    // Pickup, 10.0–11.2 s: kick and crash with the first picture, a snare roll rising
    // into the beat.
    Sheet s(15);
    s.Note(0, KickChannel, N(C, 4), Kick, 56);
    s.Note(0, EffectChannel, N(C, 4), Crash, 28);
    s.Note(0, BassChannel, N(E, 2), Bass, 40);
    for (int row = 2; row < 15; ++row)
        s.Note(row, SnareChannel, N(C, 4), Snare, 8 + row * 2);
    s.Effect(12, SnareChannel, FxExtended, 0x92);
    s.Effect(13, SnareChannel, FxExtended, 0x92);
    s.Effect(14, SnareChannel, FxExtended, 0x91);
    s.Note(8, KickChannel, N(C, 4), Kick, 40);
    s.Note(12, KickChannel, N(C, 4), Kick, 44);
    out.push_back(s.P);
    return out;
}

// First bars of the beat at 87.5 ms rows, Am then F, ending in a fill into the lift.
XmPattern BeatPattern() {
    Section a;
    a.Chords = {Am, FM};
    a.DrumStyle = Drums::Basic;
    a.FillAtEnd = true;
    a.PadVolume = 24;
    XmPattern p = MainPattern(a);
    p.At(0, KickChannel).Effect = FxSpeed;
    p.At(0, KickChannel).Param = 7;
    p.At(0, SnareChannel).Effect = FxSpeed;
    p.At(0, SnareChannel).Param = 200;
    p.At(0, EffectChannel) = XmCell{N(C, 4), Crash, Mixed(Crash, 22), 0, 0};
    p.At(0, LeadChannel) = XmCell{XmKeyOff, 0, 0, 0, 0}; // ends the intro's pad voice
    return p;
}

// Breakdown: drums out under a quiet melody, then a build of snares and a riser.
XmPattern BreakPattern() {
    Section b;
    b.Chords = {FM, GM, Am, Am};
    b.DrumStyle = Drums::None;
    b.BassStyle = Bassline::Long;
    b.PadVolume = 30;
    b.Lead = &Hush;
    b.LeadVolume = 24;
    b.EchoUntil = 38; // the riser
    b.CrashAtStart = true;
    XmPattern p = MainPattern(b);
    Sheet s(64);
    s.P = p;
    s.Off(0, HatChannel);
    for (int row = 32; row < 64; row += (row < 48 ? 4 : 2))
        s.Note(row, KickChannel, N(C, 4), Kick, 30 + (row - 32) / 2);
    for (int row = 32; row < 64; row += (row < 48 ? 2 : 1))
        s.Note(row, SnareChannel, N(C, 4), Snare, 10 + (row - 32));
    s.Effect(62, SnareChannel, FxExtended, 0x92);
    s.Effect(63, SnareChannel, FxExtended, 0x92);
    s.Note(38, EffectChannel, N(C, 4), Riser, 30);
    return s.P;
}

// Two bars that wind the groove down to half time before the credits end.
XmPattern TransitionPattern() {
    Section t;
    t.Chords = {FM, GM};
    t.DrumStyle = Drums::Half;
    t.BassStyle = Bassline::Long;
    t.PadVolume = 26;
    t.Lead = &Bridge;
    t.LeadVolume = 30;
    XmPattern p = MainPattern(t);
    Sheet s(32);
    s.P = p;
    for (int row = 24; row < 32; ++row)
        s.P.At(row, HatChannel) = XmCell{};
    s.Note(24, SnareChannel, N(C, 4), Snare, 26);
    s.Note(28, SnareChannel, N(C, 4), Snare, 18);
    s.Note(30, SnareChannel, N(C, 4), Snare, 12);
    return s.P;
}

// Outro, 16 bars: chords two bars each, pad voices crossfading, bell and echo; the
// drums and bass step out half way and the pad fades before the loop.
std::vector<XmPattern> OutroPatterns() {
    const Chord chords[] = {Am, FM, CM, GM, Am, FM, EM, Am};
    std::vector<XmPattern> out;
    for (int part = 0; part < 4; ++part) {
        Sheet s(64);
        if (part == 0) {
            s.Off(0, LeadChannel);
            s.Off(0, ArpChannel);
            s.Off(0, HatChannel);
        }
        for (int half = 0; half < 2; ++half) {
            int index = part * 2 + half;
            Chord c = chords[index];
            int r = half * 32;
            int channel = index % 2 ? LeadChannel : PadChannel;
            int other = index % 2 ? PadChannel : LeadChannel;
            int padVolume = index < 6 ? 24 : (index == 6 ? 19 : 14);
            s.Note(r, channel, PadNote(c), PadInstrument(c), padVolume);
            s.Off(r, other);
            if (index < 4) {
                BassBar(s, half * 2, c, Bassline::Long, 32 - index * 3);
                DrumBar(s, half * 2, Drums::Calm, false);
                DrumBar(s, half * 2 + 1, Drums::Calm, false);
            } else if (index == 4) {
                s.Off(r, BassChannel);
            }
            // Bell: octave, fifth, third, root, slowly; echoed three rows later.
            const int figure[] = {3, 2, 1, 0, 2};
            const int rows[] = {0, 6, 12, 20, 26};
            int bellVolume = index < 6 ? 19 : 12;
            for (int i = 0; i < 5; ++i) {
                if (index == 7 && i > 2)
                    break;
                std::uint8_t note = ArpTone(c, figure[i]);
                s.Note(r + rows[i], ArpChannel, note, Bell, bellVolume);
                s.Note(r + rows[i] + 3, EffectChannel, note, Bell, bellVolume / 2);
            }
        }
        if (part == 3) {
            // Fade the last chord out before the song starts over.
            for (int row = 40; row < 64; ++row)
                s.Column(row, LeadChannel, 0x81);
            s.Off(56, LeadChannel);
        }
        out.push_back(s.P);
    }
    return out;
}

} // namespace

XmModule ComposeSong() {
    XmModule m;
    m.Name = "Larkspur";
    m.Tracker = "Larkspur make_song";
    m.Channels = ChannelCount;
    m.Speed = 4;
    m.Bpm = 125;
    m.Instruments = BuildInstruments();

    auto add = [&m](XmPattern p) {
        m.Patterns.push_back(std::move(p));
        return static_cast<std::uint8_t>(m.Patterns.size() - 1);
    };

    std::vector<std::uint8_t> order;
    for (XmPattern& p : IntroPatterns())
        order.push_back(add(std::move(p)));
    order.push_back(add(BeatPattern()));

    Section liftA;
    liftA.Chords = {Am, FM, CM, GM};
    liftA.CrashAtStart = true;
    liftA.Lead = &Theme;
    std::uint8_t lift = add(MainPattern(liftA));

    Section liftB = liftA;
    liftB.CrashAtStart = false;
    liftB.Lead = &Answer;
    liftB.Arp = true;
    liftB.FillAtEnd = true;
    std::uint8_t answer = add(MainPattern(liftB));

    Section rise;
    rise.Chords = {FM, GM, Em, Am};
    rise.CrashAtStart = true;
    rise.Arp = true;
    rise.Lead = &Rise;
    std::uint8_t riseA = add(MainPattern(rise));
    rise.CrashAtStart = false;
    rise.Lead = &RiseHigh;
    rise.FillAtEnd = true;
    std::uint8_t riseB = add(MainPattern(rise));

    std::uint8_t breakdown = add(BreakPattern());

    Section themeAgain = liftA;
    themeAgain.Arp = true;
    std::uint8_t liftAgain = add(MainPattern(themeAgain));

    Section turn;
    turn.Chords = {Dm, FM, CM, EM};
    turn.CrashAtStart = true;
    turn.Arp = true;
    turn.BassStyle = Bassline::Syncopated;
    turn.DrumStyle = Drums::Roll;
    turn.ArpFigure = 1;
    turn.Lead = &Turn;
    std::uint8_t turnA = add(MainPattern(turn));
    turn.CrashAtStart = false;
    turn.Lead = &TurnBack;
    turn.FillAtEnd = true;
    std::uint8_t turnB = add(MainPattern(turn));

    // Climax: the answer again, the bell doubling it an octave up.
    Section climax = liftB;
    climax.CrashAtStart = true;
    climax.Arp = false;
    climax.FillAtEnd = false;
    climax.PadVolume = 28;
    XmPattern top = MainPattern(climax);
    {
        Sheet s(64);
        s.P = top;
        WriteMelody(s, ArpChannel, Bell, Answer, 20, 12);
        top = s.P;
    }
    std::uint8_t peak = add(std::move(top));

    std::uint8_t transition = add(TransitionPattern());

    for (std::uint8_t p :
         {lift, answer, riseA, riseB, breakdown, liftAgain, answer, turnA, turnB, peak, transition})
        order.push_back(p);
    for (XmPattern& p : OutroPatterns())
        order.push_back(add(std::move(p)));
    m.Orders = order;
    return m;
}
