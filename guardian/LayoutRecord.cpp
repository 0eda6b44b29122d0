// The record's encoding: a tag, the screen's size, then each CRTC with its outputs. Sizes
// are bounded so that a damaged property cannot make a guardian allocate without limit.
#include "guardian/LayoutRecord.h"

#include <algorithm>

static constexpr std::uint32_t Tag = 0x4c4b4c31; // "LKL1"
static constexpr std::uint32_t MaxCrtcs = 64;
static constexpr std::uint32_t MaxOutputs = 64;
static constexpr std::uint32_t MaxSide = 32767; // the X protocol's limit

std::vector<std::uint32_t> EncodeLayout(const ScreenLayout& layout) {
    std::vector<std::uint32_t> words = {Tag,
                                        static_cast<std::uint32_t>(layout.Width),
                                        static_cast<std::uint32_t>(layout.Height),
                                        static_cast<std::uint32_t>(layout.WidthMm),
                                        static_cast<std::uint32_t>(layout.HeightMm),
                                        static_cast<std::uint32_t>(layout.Crtcs.size())};
    for (const CrtcLayout& crtc : layout.Crtcs) {
        words.insert(words.end(),
                     {static_cast<std::uint32_t>(crtc.Crtc), static_cast<std::uint32_t>(crtc.Mode),
                      static_cast<std::uint32_t>(crtc.X), static_cast<std::uint32_t>(crtc.Y),
                      crtc.Width, crtc.Height, crtc.Rotation,
                      static_cast<std::uint32_t>(crtc.Outputs.size())});
        for (std::uint64_t output : crtc.Outputs) {
            words.push_back(static_cast<std::uint32_t>(output));
        }
    }
    return words;
}

bool DecodeLayout(const std::uint32_t* words, std::size_t count, ScreenLayout* layout) {
    std::size_t at = 0;
    auto take = [&](std::uint32_t* value) {
        if (at >= count) {
            return false;
        }
        *value = words[at++];
        return true;
    };
    std::uint32_t tag = 0;
    std::uint32_t header[5] = {};
    if (words == nullptr || !take(&tag) || tag != Tag) {
        return false;
    }
    for (std::uint32_t& value : header) {
        if (!take(&value)) {
            return false;
        }
    }
    if (header[0] == 0 || header[0] > MaxSide || header[1] == 0 || header[1] > MaxSide ||
        header[2] > 0x7fffffffu || header[3] > 0x7fffffffu || header[4] > MaxCrtcs) {
        return false;
    }
    ScreenLayout decoded;
    decoded.Width = static_cast<int>(header[0]);
    decoded.Height = static_cast<int>(header[1]);
    decoded.WidthMm = static_cast<int>(header[2]);
    decoded.HeightMm = static_cast<int>(header[3]);
    for (std::uint32_t c = 0; c < header[4]; ++c) {
        std::uint32_t fields[8] = {};
        for (std::uint32_t& value : fields) {
            if (!take(&value)) {
                return false;
            }
        }
        if (fields[4] > MaxSide || fields[5] > MaxSide || fields[7] > MaxOutputs) {
            return false;
        }
        CrtcLayout crtc;
        crtc.Crtc = fields[0];
        crtc.Mode = fields[1];
        crtc.X = static_cast<std::int32_t>(fields[2]);
        crtc.Y = static_cast<std::int32_t>(fields[3]);
        crtc.Width = fields[4];
        crtc.Height = fields[5];
        crtc.Rotation = fields[6];
        for (std::uint32_t o = 0; o < fields[7]; ++o) {
            std::uint32_t output = 0;
            if (!take(&output)) {
                return false;
            }
            crtc.Outputs.push_back(output);
        }
        decoded.Crtcs.push_back(crtc);
    }
    if (at != count) {
        return false;
    }
    *layout = decoded;
    return true;
}

LayoutRecord JoinRecord(const LayoutRecord& found, const ScreenLayout& now, std::uint64_t token) {
    LayoutRecord record;
    record.Valid = true;
    if (found.Valid && !found.Holders.empty()) {
        record.Original = found.Original;
        record.Holders = found.Holders;
    } else {
        // No record, or one whose shows are all gone: nobody is left to vouch for it.
        record.Original = now;
    }
    if (token != 0 &&
        std::find(record.Holders.begin(), record.Holders.end(), token) == record.Holders.end()) {
        record.Holders.push_back(token);
    }
    return record;
}

bool LeaveRecord(LayoutRecord* record, std::uint64_t token) {
    std::erase(record->Holders, token);
    std::erase(record->Holders, std::uint64_t{0});
    return record->Valid && !record->Holders.empty();
}
