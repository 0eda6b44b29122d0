// The recorder's command line. Every value is checked before anything is drawn, so
// a mistyped option costs nothing.
#include "capture/Capture.h"

#include <cstring>

const char* const CaptureUsage =
    "Usage: larkspur-capture [options]\n"
    "Records the Larkspur show offscreen, from the data/ folder under the working\n"
    "directory, to a video file (H.264 + AAC in MP4, encoded by ffmpeg).\n"
    "\n"
    "  --fps N          frames per second, 1 to 1000 (default 60)\n"
    "  --output PATH    video file to write (default larkspur.mp4); with --stills,\n"
    "                   the folder for the pictures (default stills)\n"
    "  --start MS       first show time to record, in ms (default 0)\n"
    "  --end MS         show time to stop at, in ms (default 84000, the end of the show)\n"
    "  --stills T1,T2,…  write PNG pictures of the frames on screen at these show times\n"
    "                   (ms) instead of a video: PATH/still-TTTTT.png\n"
    "  --scale N        with --stills: shrink the pictures N times (2 gives 320 x 240)\n"
    "  --show-dir DIR   read the show's data/ from DIR instead of the working directory\n"
    "                   (a relative --output stays relative to the working directory)\n"
    "  --quiet          no progress bar\n"
    "  --help           this text\n"
    "\n"
    "Frame n shows show time n × 1000 ÷ fps. Every frame from 0 is drawn, also before\n"
    "--start and between stills, because the picture show and the shimmer depend on the\n"
    "frames before them.\n";

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

bool ParseCaptureOptions(int argc, char** argv, CaptureOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) {
                return true;
            }
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto number = [&](std::uint32_t& out) -> bool {
            if (!takeValue()) {
                return false;
            }
            if (!ParseNumber(value.c_str(), out)) {
                error = "option " + arg + " needs a whole number of milliseconds, not \"" + value +
                        "\"";
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options.Help = true;
        } else if (arg == "--quiet") {
            options.Quiet = true;
        } else if (arg == "--fps") {
            std::uint32_t fps = 0;
            if (!takeValue()) {
                return false;
            }
            if (!ParseNumber(value.c_str(), fps) || fps < 1 || fps > MaxCaptureFps) {
                error = "--fps needs a whole number from 1 to 1000, not \"" + value + "\"";
                return false;
            }
            options.Fps = static_cast<int>(fps);
        } else if (arg == "--output" || arg == "-o") {
            if (!takeValue()) {
                return false;
            }
            if (value.empty()) {
                error = "--output needs a path";
                return false;
            }
            options.Output = value;
        } else if (arg == "--scale") {
            std::uint32_t scale = 0;
            if (!takeValue()) {
                return false;
            }
            if (!ParseNumber(value.c_str(), scale) || scale < 1 || scale > 8) {
                error = "--scale needs a whole number from 1 to 8, not \"" + value + "\"";
                return false;
            }
            options.StillScale = static_cast<int>(scale);
        } else if (arg == "--show-dir") {
            if (!takeValue()) {
                return false;
            }
            if (value.empty()) {
                error = "--show-dir needs a folder";
                return false;
            }
            options.ShowDir = value;
        } else if (arg == "--start") {
            if (!number(options.Start)) {
                return false;
            }
        } else if (arg == "--end") {
            if (!number(options.End)) {
                return false;
            }
        } else if (arg == "--stills") {
            if (!takeValue()) {
                return false;
            }
            if (!ParseTimeList(value, options.Stills)) {
                error =
                    "--stills needs show times in ms separated by commas, not \"" + value + "\"";
                return false;
            }
        } else {
            error = "unknown option \"" + arg + "\" (see --help)";
            return false;
        }
    }
    if (options.Help) {
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
    for (std::uint32_t t : options.Stills) {
        if (t >= ShowEndTime) {
            error = "still at " + std::to_string(t) +
                    " ms is past the end of the show (the last frame is before 84000 ms)";
            return false;
        }
    }
    if (options.Output.empty()) {
        options.Output = options.Stills.empty() ? "larkspur.mp4" : "stills";
    }
    return true;
}
