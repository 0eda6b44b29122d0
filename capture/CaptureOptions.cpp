// The recorder's command line. Every value is checked before anything is drawn, so
// a mistyped option costs nothing.
#include "capture/Capture.h"

#include <getopt.h>

const char* const CaptureUsage =
    "Usage: larkspur-capture [options]\n"
    "Records the Larkspur show offscreen to a video file (H.264 + AAC in MP4, encoded by\n"
    "ffmpeg) or to PNG pictures. The installed larkspur-capture records the installed\n"
    "show, from /usr/share/larkspur/data (PREFIX/share/larkspur/data when installed under\n"
    "another PREFIX); the program as built reads data/ under the working directory.\n"
    "With --show-dir DIR, either reads DIR/data instead.\n"
    "\n"
    "  --fps N          frames per second, 1 to 1000 (default 60)\n"
    "  --output PATH, -o PATH\n"
    "                   video file to write (default larkspur.mp4); with --stills,\n"
    "                   the folder for the pictures (default stills)\n"
    "  --start MS       first show time to record, in ms (default 0)\n"
    "  --end MS         show time to stop at, in ms (default 84000, the end of the show)\n"
    "  --stills T1,T2,…  write PNG pictures of the frames on screen at these show times\n"
    "                   (ms) instead of a video: PATH/still-TTTTT.png\n"
    "  --size WxH       frame size, both even, up to 3840x2160 (default 640x480); the\n"
    "                   show's 4:3 picture is centred, black bars fill the rest\n"
    "                   (1920x1080 gives a 1440 x 1080 picture)\n"
    "  --samples N      samples per pixel for smooth edges: 1, 2, 4 or 8 everywhere;\n"
    "                   refused where the OpenGL renderer does not give exactly N (Mesa's\n"
    "                   llvmpipe gives 1 or 4). Default: 1 at 640x480; above, 4 where\n"
    "                   glyph and text edges are and 1 elsewhere, which looks the same\n"
    "                   as 4 everywhere and costs far less\n"
    "  --scale N        with --stills: shrink the pictures N times (2 gives 320 x 240)\n"
    "  --show-dir DIR   read the show's data/ from DIR instead (a relative --output stays\n"
    "                   relative to the working directory)\n"
    "  --quiet          no progress bar\n"
    "  --help, -h       this text\n"
    "  --version        the program's version\n"
    "\n"
    "Video: H.264 (libx264, yuv420p) and AAC 192 kb/s in MP4 with the index first\n"
    "(-movflags +faststart). x264 preset and quality by frame size: up to 640x480\n"
    "ultrafast with deblocking, CRF 17; up to 1920x1080 superfast, CRF 20, no motion\n"
    "search finer than a pixel (subme 0); larger (4K) superfast, CRF 22; no B-frames.\n"
    "\n"
    "Frame n shows show time n × 1000 ÷ fps. Frames before --start and between stills\n"
    "are not drawn: the show is moved past them, and the frames drawn come out the same\n"
    "to the byte as when every frame from 0 is drawn.\n"
    "\n"
    "The video is MP4, Matroska for a name ending in .mkv, QuickTime for .mov. It is\n"
    "written as .larkspur-XXXXXX.partial beside PATH and renamed to PATH when complete;\n"
    "a failed or interrupted run removes it, a killed one (SIGKILL) may leave it for the\n"
    "next run to that folder to remove. PATH is never opened before that: a folder,\n"
    "device or FIFO there is refused.\n";

const char* const CaptureVersion = "larkspur-capture " LARKSPUR_VERSION "\n";

int DefaultSamples(int width, int height) {
    return width == CaptureWidth && height == CaptureHeight ? 1 : SamplesAtEdges;
}

// A whole non-negative decimal number that fits in 32 bits.
static bool ParseNumber(const char* text, std::uint32_t& value) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    std::uint64_t v = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
        if (v > 0xFFFFFFFFu) {
            return false;
        }
    }
    value = static_cast<std::uint32_t>(v);
    return true;
}

// "WxH" with both sides even, from 2 up to 3840 x 2160.
static bool ParseSize(const std::string& text, int& width, int& height, std::string& why) {
    const std::size_t x = text.find('x');
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    if (x == std::string::npos || !ParseNumber(text.substr(0, x).c_str(), w) ||
        !ParseNumber(text.substr(x + 1).c_str(), h)) {
        why = "is not WIDTHxHEIGHT";
        return false;
    }
    if (w == 0 || h == 0) {
        why = "has a side of zero";
        return false;
    }
    // 4:2:0 video halves both sides for colour.
    if (w % 2 != 0 || h % 2 != 0) {
        why = "has an odd side";
        return false;
    }
    if (w > MaxCaptureWidth || h > MaxCaptureHeight) {
        why = "is larger than 3840x2160";
        return false;
    }
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

static bool ParseTimeList(const std::string& text, std::vector<std::uint32_t>& times) {
    std::size_t begin = 0;
    while (true) {
        std::size_t comma = text.find(',', begin);
        std::string item =
            text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
        std::uint32_t t = 0;
        if (!ParseNumber(item.c_str(), t)) {
            return false;
        }
        times.push_back(t);
        if (comma == std::string::npos) {
            return true;
        }
        begin = comma + 1;
    }
}

enum OptionCode : int {
    FpsOption = 256,
    StartOption,
    EndOption,
    StillsOption,
    ScaleOption,
    SizeOption,
    SamplesOption,
    ShowDirOption,
    QuietOption,
    VersionOption,
};

static const struct option LongOptions[] = {
    {"fps", required_argument, nullptr, FpsOption},
    {"output", required_argument, nullptr, 'o'},
    {"start", required_argument, nullptr, StartOption},
    {"end", required_argument, nullptr, EndOption},
    {"stills", required_argument, nullptr, StillsOption},
    {"scale", required_argument, nullptr, ScaleOption},
    {"size", required_argument, nullptr, SizeOption},
    {"samples", required_argument, nullptr, SamplesOption},
    {"show-dir", required_argument, nullptr, ShowDirOption},
    {"quiet", no_argument, nullptr, QuietOption},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, VersionOption},
    {nullptr, 0, nullptr, 0},
};

// How the user wrote the option that getopt_long just looked at, for messages.
static std::string OptionName(int code) {
    for (const struct option* o = LongOptions; o->name != nullptr; ++o) {
        if (o->val == code) {
            return std::string("--") + o->name;
        }
    }
    return std::string("-") + static_cast<char>(code);
}

// The option word as it stands on the command line ("--frobnicate", "--quiet=1"), for
// getopt_long's complaints.
static std::string OffendingWord(int argc, char** argv) {
    const int at = optind - 1;
    return at >= 1 && at < argc ? argv[at] : "?";
}

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
    // getopt_long keeps its place in globals; 0 starts it afresh for each command line.
    optind = 0;
    opterr = 0;
    // "-": other words come back as code 1 to be refused, instead of being reordered;
    // ":": a missing value comes back as ':' rather than as an unknown option.
    const char* const shortOptions = "-:ho:";
    int code;
    while ((code = getopt_long(argc, argv, shortOptions, LongOptions, nullptr)) != -1) {
        const std::string value = optarg != nullptr ? optarg : "";
        auto number = [&](std::uint32_t& out) -> bool {
            if (!ParseNumber(value.c_str(), out)) {
                error = "option " + OptionName(code) +
                        " needs a whole number of milliseconds, not \"" + PrintableName(value) +
                        "\"";
                return false;
            }
            return true;
        };
        switch (code) {
        case 'h':
            options.Help = true;
            break;
        case VersionOption:
            options.Version = true;
            break;
        case QuietOption:
            options.Quiet = true;
            break;
        case FpsOption: {
            std::uint32_t fps = 0;
            if (!ParseNumber(value.c_str(), fps) || fps < 1 || fps > MaxCaptureFps) {
                error = "--fps needs a whole number from 1 to 1000, not \"" + PrintableName(value) +
                        "\"";
                return false;
            }
            options.Fps = static_cast<int>(fps);
            break;
        }
        case 'o':
            if (value.empty()) {
                error = "--output needs a path";
                return false;
            }
            options.Output = value;
            break;
        case ScaleOption: {
            std::uint32_t scale = 0;
            if (!ParseNumber(value.c_str(), scale) || scale < 1 || scale > 8) {
                error = "--scale needs a whole number from 1 to 8, not \"" + PrintableName(value) +
                        "\"";
                return false;
            }
            options.StillScale = static_cast<int>(scale);
            break;
        }
        case SizeOption: {
            std::string why;
            if (!ParseSize(value, options.Width, options.Height, why)) {
                error = "--size needs WIDTHxHEIGHT, both even, up to 3840x2160: \"" +
                        PrintableName(value) + "\" " + why;
                return false;
            }
            break;
        }
        case SamplesOption: {
            std::uint32_t samples = 0;
            if (!ParseNumber(value.c_str(), samples) ||
                (samples != 1 && samples != 2 && samples != 4 && samples != 8)) {
                error = "--samples needs 1, 2, 4 or 8, not \"" + PrintableName(value) + "\"";
                return false;
            }
            options.Samples = static_cast<int>(samples);
            break;
        }
        case ShowDirOption:
            if (value.empty()) {
                error = "--show-dir needs a folder";
                return false;
            }
            options.ShowDir = value;
            break;
        case StartOption:
            if (!number(options.Start)) {
                return false;
            }
            break;
        case EndOption:
            if (!number(options.End)) {
                return false;
            }
            break;
        case StillsOption:
            if (!ParseTimeList(value, options.Stills)) {
                error = "--stills needs show times in ms separated by commas, not \"" +
                        PrintableName(value) + "\"";
                return false;
            }
            break;
        case 1:
            error = "unexpected argument \"" + PrintableName(value) + "\" (see --help)";
            return false;
        case ':':
            error = "option " + OptionName(optopt) + " needs a value";
            return false;
        default: {
            // An unknown option, or a value given to one that takes none.
            const std::string word = OffendingWord(argc, argv);
            if (optopt != 0 && word.rfind("--", 0) != 0) {
                error = std::string("unknown option \"-") + static_cast<char>(optopt) +
                        "\" (see --help)";
            } else if (word.find('=') != std::string::npos && optopt != 0) {
                error = "option " + OptionName(optopt) + " takes no value";
            } else {
                error = "unknown option \"" + PrintableName(word) + "\" (see --help)";
            }
            return false;
        }
        }
    }
    if (optind < argc) {
        // Words after "--".
        error = "unexpected argument \"" + PrintableName(argv[optind]) + "\" (see --help)";
        return false;
    }
    if (options.Help || options.Version) {
        return true;
    }
    if (options.End > ShowEndTime) {
        // The show ends itself at 84000; there is nothing to record after that.
        options.End = ShowEndTime;
    }
    if (options.Start >= options.End) {
        error = "--start must come before --end (and before the end of the show at 84000 ms)";
        return false;
    }
    if (!options.Stills.empty() &&
        (options.Width / options.StillScale < 1 || options.Height / options.StillScale < 1)) {
        error = "--scale " + std::to_string(options.StillScale) + " leaves nothing of a " +
                std::to_string(options.Width) + "x" + std::to_string(options.Height) + " frame";
        return false;
    }
    for (std::uint32_t t : options.Stills) {
        if (t >= ShowEndTime) {
            error = "still at " + std::to_string(t) +
                    " ms is past the end of the show (the last frame is before 84000 ms)";
            return false;
        }
    }
    if (options.Samples < 0) {
        options.Samples = DefaultSamples(options.Width, options.Height);
    }
    if (options.Output.empty()) {
        options.Output = options.Stills.empty() ? "larkspur.mp4" : "stills";
    }
    return true;
}
