// The song's eleven instruments: synthesised samples plus their pitch, loop, panning
// and envelope settings.
#include "tools/song/Song.h"
#include "tools/song/Synth.h"

namespace {

// A one-shot rendered at 44100 frames per second plays at its own rate on C-4 with
// relative note 28 and finetune 104 (12 × log2(44100 / 8363) = 28.78 semitones).
XmInstrument OneShot(const char* name, std::vector<std::int16_t> frames, std::uint8_t volume,
                     std::uint8_t panning) {
    XmInstrument in;
    in.Name = name;
    in.Frames = std::move(frames);
    in.Volume = volume;
    in.Panning = panning;
    in.RelativeNote = 28;
    in.Finetune = 104;
    return in;
}

// A loop of whole 256-frame root cycles: relative note 36 puts middle C on C-4.
XmInstrument Tone(const char* name, std::vector<std::int16_t> frames, std::uint8_t volume,
                  std::uint8_t panning) {
    XmInstrument in;
    in.Name = name;
    in.Frames = std::move(frames);
    in.Looped = true;
    in.LoopStart = 0;
    in.LoopLength = static_cast<std::uint32_t>(in.Frames.size());
    in.Volume = volume;
    in.Panning = panning;
    in.RelativeNote = 36;
    in.Finetune = 0;
    return in;
}

} // namespace

std::vector<XmInstrument> BuildInstruments() {
    std::vector<XmInstrument> list(InstrumentCount);
    list[Kick - 1] = OneShot("Kick", SynthKick(), 64, 128);
    list[Snare - 1] = OneShot("Snare", SynthSnare(), 64, 120);
    list[ClosedHat - 1] = OneShot("Closed hat", SynthHat(false), 64, 156);
    list[OpenHat - 1] = OneShot("Open hat", SynthHat(true), 64, 156);
    list[Crash - 1] = OneShot("Crash", SynthCrash(), 64, 104);
    list[Riser - 1] = OneShot("Riser", SynthRiser(), 64, 128);

    XmInstrument bass = Tone("Bass", SynthBass(), 64, 128);
    bass.VolumeEnvelope.Points = {{0, 64}, {10, 54}};
    bass.VolumeEnvelope.Sustain = 1;
    bass.Fadeout = 0x800;
    list[Bass - 1] = std::move(bass);

    for (bool minor : {true, false}) {
        XmInstrument pad = Tone(minor ? "Pad minor" : "Pad major", SynthPad(minor), 64, 128);
        pad.VolumeEnvelope.Points = {{0, 0}, {14, 64}, {80, 50}};
        pad.VolumeEnvelope.Sustain = 2;
        pad.Fadeout = 0x100;
        list[(minor ? PadMinor : PadMajor) - 1] = std::move(pad);
    }

    XmInstrument lead = Tone("Lead", SynthLead(), 64, 140);
    lead.VolumeEnvelope.Points = {{0, 0}, {2, 64}, {20, 46}};
    lead.VolumeEnvelope.Sustain = 2;
    lead.Fadeout = 0x300;
    lead.VibratoType = 0;
    lead.VibratoSweep = 48;
    lead.VibratoDepth = 3;
    lead.VibratoRate = 10;
    list[Lead - 1] = std::move(lead);

    XmInstrument bell = Tone("Bell", SynthBell(), 64, 100);
    bell.VolumeEnvelope.Points = {{0, 64}, {4, 38}, {18, 16}, {60, 0}};
    bell.Fadeout = 0x400;
    list[Bell - 1] = std::move(bell);
    return list;
}
