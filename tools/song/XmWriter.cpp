// Writes an XmModule field by field, little-endian, with no padding anywhere.
#include "tools/song/XmWriter.h"

#include <stdexcept>

XmPattern::XmPattern(int rows, int channels)
    : Rows(rows), Channels(channels), Cells(static_cast<std::size_t>(rows > 0 ? rows : 0) *
                                            static_cast<std::size_t>(channels > 0 ? channels : 0)) {
}

XmCell& XmPattern::At(int row, int channel) {
    if (row < 0 || row >= Rows || channel < 0 || channel >= Channels)
        throw std::out_of_range("pattern cell out of range");
    return Cells[static_cast<std::size_t>(row) * Channels + channel];
}

const XmCell& XmPattern::At(int row, int channel) const {
    if (row < 0 || row >= Rows || channel < 0 || channel >= Channels)
        throw std::out_of_range("pattern cell out of range");
    return Cells[static_cast<std::size_t>(row) * Channels + channel];
}

static void Fail(const std::string& what) {
    throw std::invalid_argument(what);
}

static void PutU8(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

static void PutU16(std::vector<std::uint8_t>& out, unsigned v) {
    PutU8(out, v);
    PutU8(out, v >> 8);
}

static void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// Fixed-width text field, padded with spaces; longer text is an error, not truncated.
static void PutText(std::vector<std::uint8_t>& out, const std::string& text, std::size_t width) {
    if (text.size() > width)
        Fail("text field too long: " + text);
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            Fail("text field is not printable ASCII");
        PutU8(out, static_cast<unsigned char>(c));
    }
    for (std::size_t i = text.size(); i < width; ++i)
        PutU8(out, ' ');
}

static void CheckCell(const XmCell& c, std::size_t instruments) {
    if (c.Note > XmKeyOff)
        Fail("invalid note value");
    if (c.Instrument > instruments)
        Fail("cell names a missing instrument");
    if (c.Volume >= 0x51 && c.Volume <= 0x5F)
        Fail("invalid volume column value");
    if (c.Volume > 0 && c.Volume < 0x10)
        Fail("invalid volume column value");
    // Only the FastTracker 2 effect set; both players agree on these.
    static const bool allowed[36] = {
        true,  true,  true,  true,  true,  true, true,  true, true,  true,  // 0-9
        true,  true,  true,  true,  true,  true, true,  true, false, false, // A-J
        true,  true,  false, false, false, true, false, true, false, true,  // K-T
        false, false, false, true,  false, false};                          // U-Z
    if (c.Effect >= 36 || !allowed[c.Effect])
        Fail("effect outside the FastTracker 2 set");
    if (c.Effect == 0xF && c.Param == 0)
        Fail("F00 is not a valid speed");
    if (c.Effect == 0xE && ((c.Param >> 4) == 0 || (c.Param >> 4) == 8))
        Fail("E0x and E8x are not portable");
    if (c.Effect == 0xD && ((c.Param >> 4) > 9 || (c.Param & 0xF) > 9))
        Fail("Dxx takes a decimal row");
}

static void PutPattern(std::vector<std::uint8_t>& out, const XmPattern& p, int channels,
                       std::size_t instruments) {
    if (p.Rows < 1 || p.Rows > 256)
        Fail("pattern rows out of range");
    if (p.Channels != channels || p.Cells.size() != static_cast<std::size_t>(p.Rows) * channels)
        Fail("pattern does not match the channel count");
    std::vector<std::uint8_t> data;
    bool empty = true;
    for (const XmCell& c : p.Cells) {
        CheckCell(c, instruments);
        unsigned flags = 0x80u | (c.Note ? 0x01u : 0u) | (c.Instrument ? 0x02u : 0u) |
                         (c.Volume ? 0x04u : 0u) | (c.Effect ? 0x08u : 0u) | (c.Param ? 0x10u : 0u);
        if (flags != 0x80u)
            empty = false;
        PutU8(data, flags);
        for (std::uint8_t v : {c.Note, c.Instrument, c.Volume, c.Effect, c.Param})
            if (v)
                PutU8(data, v);
    }
    // FastTracker 2 turns an all-empty pattern into 64 rows; keep such patterns at 64.
    if (empty && p.Rows != 64)
        Fail("an empty pattern must have 64 rows");
    if (data.size() > 0xFFFF)
        Fail("pattern data too large");
    PutU32(out, 9);
    PutU8(out, 0);
    PutU16(out, static_cast<unsigned>(p.Rows));
    PutU16(out, empty ? 0u : static_cast<unsigned>(data.size()));
    if (!empty)
        out.insert(out.end(), data.begin(), data.end());
}

static void PutEnvelopePoints(std::vector<std::uint8_t>& out, const XmEnvelope& e) {
    for (std::size_t i = 0; i < 12; ++i) {
        PutU16(out, i < e.Points.size() ? e.Points[i].Tick : 0u);
        PutU16(out, i < e.Points.size() ? e.Points[i].Value : 0u);
    }
}

static void CheckInstrument(const XmInstrument& in) {
    if (in.Frames.empty())
        Fail("instrument without sample data");
    if (in.Frames.size() > 0x3FFFFFFF)
        Fail("sample too long");
    if (in.Looped) {
        if (in.LoopLength < 2 || in.LoopStart > in.Frames.size() ||
            in.LoopLength > in.Frames.size() - in.LoopStart)
            Fail("sample loop outside the sample");
    } else if (in.LoopStart != 0 || in.LoopLength != 0) {
        Fail("loop values on a sample without a loop");
    }
    if (in.Volume > 64)
        Fail("sample volume above 64");
    if (in.Finetune % 8 != 0)
        Fail("finetune must be a multiple of 8");
    const XmEnvelope& e = in.VolumeEnvelope;
    if (e.Points.size() == 1 || e.Points.size() > 12)
        Fail("volume envelope needs 2 to 12 points");
    for (std::size_t i = 0; i < e.Points.size(); ++i) {
        if (e.Points[i].Value > 64)
            Fail("envelope value above 64");
        if (i == 0 ? e.Points[i].Tick != 0 : e.Points[i].Tick <= e.Points[i - 1].Tick)
            Fail("envelope ticks must start at 0 and rise");
    }
    if (e.Sustain >= static_cast<int>(e.Points.size()))
        Fail("sustain point outside the envelope");
    if (in.Fadeout > 0xFFF)
        Fail("fadeout out of range");
    if (in.VibratoType > 3 || in.VibratoDepth > 15 || in.VibratoRate > 63)
        Fail("auto-vibrato out of range");
}

static void PutInstrument(std::vector<std::uint8_t>& out, const XmInstrument& in) {
    CheckInstrument(in);
    const XmEnvelope& e = in.VolumeEnvelope;
    std::size_t start = out.size();
    PutU32(out, 263);
    PutText(out, in.Name, 22);
    PutU8(out, 0);
    PutU16(out, 1);
    PutU32(out, 40);
    for (int i = 0; i < 96; ++i)
        PutU8(out, 0);
    PutEnvelopePoints(out, e);
    PutEnvelopePoints(out, XmEnvelope{});
    PutU8(out, static_cast<unsigned>(e.Points.size()));
    PutU8(out, 0);
    PutU8(out, e.Sustain >= 0 ? static_cast<unsigned>(e.Sustain) : 0u);
    PutU8(out, 0);
    PutU8(out, 0);
    PutU8(out, 0);
    PutU8(out, 0);
    PutU8(out, 0);
    PutU8(out, (e.Points.empty() ? 0u : 1u) | (e.Sustain >= 0 ? 2u : 0u));
    PutU8(out, 0);
    PutU8(out, in.VibratoType);
    PutU8(out, in.VibratoSweep);
    PutU8(out, in.VibratoDepth);
    PutU8(out, in.VibratoRate);
    PutU16(out, in.Fadeout);
    for (int i = 0; i < 22; ++i)
        PutU8(out, 0);
    if (out.size() - start != 263)
        Fail("instrument header size mismatch");

    // Sample header; 16-bit data, so every length and loop value is in bytes and even.
    PutU32(out, static_cast<std::uint32_t>(in.Frames.size() * 2));
    PutU32(out, in.LoopStart * 2);
    PutU32(out, in.LoopLength * 2);
    PutU8(out, in.Volume);
    PutU8(out, static_cast<std::uint8_t>(in.Finetune));
    PutU8(out, 0x10u | (in.Looped ? 1u : 0u));
    PutU8(out, in.Panning);
    PutU8(out, static_cast<std::uint8_t>(in.RelativeNote));
    PutU8(out, 0);
    PutText(out, in.Name, 22);

    // Delta-coded 16-bit frames; the wrap-around of the difference is intended.
    std::int32_t previous = 0;
    for (std::int16_t v : in.Frames) {
        PutU16(out, static_cast<unsigned>(v - previous) & 0xFFFFu);
        previous = v;
    }
}

std::vector<std::uint8_t> WriteXm(const XmModule& m) {
    if (m.Channels < 2 || m.Channels > 32 || m.Channels % 2 != 0)
        Fail("channel count must be even, 2 to 32");
    if (m.Speed < 1 || m.Speed > 31 || m.Bpm < 32 || m.Bpm > 255)
        Fail("speed or BPM out of range");
    if (m.Orders.empty() || m.Orders.size() > 256)
        Fail("order list length out of range");
    if (m.Patterns.empty() || m.Patterns.size() > 256)
        Fail("pattern count out of range");
    if (m.Instruments.size() > 128)
        Fail("too many instruments");
    if (m.Restart < 0 || m.Restart >= static_cast<int>(m.Orders.size()))
        Fail("restart position outside the order list");
    for (std::uint8_t o : m.Orders)
        if (o >= m.Patterns.size())
            Fail("order names a missing pattern");

    std::vector<std::uint8_t> out;
    const std::string id = "Extended Module: ";
    out.insert(out.end(), id.begin(), id.end());
    PutText(out, m.Name, 20);
    PutU8(out, 0x1A);
    PutText(out, m.Tracker, 20);
    PutU16(out, 0x0104);
    PutU32(out, 276);
    PutU16(out, static_cast<unsigned>(m.Orders.size()));
    PutU16(out, static_cast<unsigned>(m.Restart));
    PutU16(out, static_cast<unsigned>(m.Channels));
    PutU16(out, static_cast<unsigned>(m.Patterns.size()));
    PutU16(out, static_cast<unsigned>(m.Instruments.size()));
    PutU16(out, 1); // linear frequency table
    PutU16(out, static_cast<unsigned>(m.Speed));
    PutU16(out, static_cast<unsigned>(m.Bpm));
    for (std::size_t i = 0; i < 256; ++i)
        PutU8(out, i < m.Orders.size() ? m.Orders[i] : 0u);
    if (out.size() != 336)
        Fail("module header size mismatch");

    for (const XmPattern& p : m.Patterns)
        PutPattern(out, p, m.Channels, m.Instruments.size());
    for (const XmInstrument& in : m.Instruments)
        PutInstrument(out, in);
    return out;
}
