// Byte-code character sets of the outline fonts: what Unicode character a byte
// of the Windows ANSI code page, or of the Wingdings symbol encoding, stands for.
#pragma once

// 0 marks a code without a character (the five undefined Windows-1252 codes).
char32_t Windows1252ToUnicode(unsigned char code);

// The Unicode stand-in of each Wingdings code; 0 where the code has no symbol.
extern const char32_t WingdingsToUnicode[256];
