// The shared record of a display's layout from before the first show switched it, and
// the shows that hold it. Every guardian on the display reads and writes the same record,
// so that whichever show ends last, however it ends, puts back the layout the desktop had
// before any of them began. Kept apart from X so it can be checked on its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "guardian/ScreenLayout.h"

struct LayoutRecord {
    bool Valid = false;
    ScreenLayout Original;
    // Tokens of the shows holding the record (their windows); the caller lists only those
    // still alive.
    std::vector<std::uint64_t> Holders;
};

// The record's layout as 32-bit words, as a window property holds it.
std::vector<std::uint32_t> EncodeLayout(const ScreenLayout& layout);
// False for anything EncodeLayout did not make: another client may write the property.
bool DecodeLayout(const std::uint32_t* words, std::size_t count, ScreenLayout* layout);

// A guardian starting up: a record that a live show holds stands (the display may already
// show another show's mode); otherwise the present layout becomes the original. The
// token, if any, joins the holders.
LayoutRecord JoinRecord(const LayoutRecord& found, const ScreenLayout& now, std::uint64_t token);

// A guardian whose show has ended: the token leaves. True while another show still holds
// the record (it stands, and the display is left alone); false when this was the last,
// and the original is to go back.
bool LeaveRecord(LayoutRecord* record, std::uint64_t token);
