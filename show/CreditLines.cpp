// The credits lines, one shown at a time, a new one every 2800 ms. Windows-1252 bytes:
// the German lines carry their umlauts as single bytes (0xE4 ä, 0xF6 ö, 0xFC ü, 0xDF ß).
#include "show/Layers.h"

const char* const CreditLines[CreditLineCount] = {
    "",
    "",
    "",
    "",
    // A saying to open with.
    "Was lange w\xE4hrt, wird gut,",
    "was sich oft dreht, wird sch\xF6n",
    "und wer bis zum Ende bleibt, gr\xFC\xDFt.",
    // How the show was made.
    "Made with SDL and patience",
    "Every pixel spoon-fed llvmpipe",
    "No GPUs were harmed",
    "Music by one for-loop",
    "The synth has never seen a piano",
    "Textures baked, not bought",
    "Fonts extruded with rulers",
    "All rotations measured in coffee",
    "Tested at one frame per week",
    "The song is sines, saws and a sneeze",
    "Random numbers chosen by a committee",
    "No frame limiter: your fan is the limit",
    // Greetings, to groups that exist only here.
    "Greetings go to:",
    "Quiet Teapot, Velvet Static",
    "Ninth Parallax Knitting Circle",
    "Moth Lantern and Porcelain Orbs",
    "Tangerine Vector",
    "the Sleepy Raster Club",
    "Thanks for watching, see you soon!",
    "",
    "",
    "",
    "",
    "",
};
