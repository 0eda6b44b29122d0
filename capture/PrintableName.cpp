// Names as messages print them. A file name may hold any byte but '/' and NUL: a newline
// would split a message in two and a terminal would act on control bytes, so those and
// bytes that are not UTF-8 are written as escapes, and the backslash doubled so that an
// escape cannot be mistaken for the name's own text.
#include "capture/Capture.h"

#include <cstdio>

// The length of the UTF-8 sequence of a printable character starting at `at`, or 0.
static std::size_t PrintableSequence(const std::string& text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the second byte, which rules out overlong forms,
    unsigned char high = 0xBF; // surrogates and anything past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        if (lead == 0xC2) {
            low = 0xA0; // U+0080 to U+009F are control characters
        }
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

std::string PrintableName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = c >= 0x80 ? PrintableSequence(name, i) : 0) {
            out.append(name, i, length);
            i += length;
            continue;
        } else {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        }
        ++i;
    }
    return out;
}
