// larkspur-capture: the show recorded to a video file or to still pictures.
#include <cstdio>
#include <exception>

#include "capture/Capture.h"
#include "platform/StandardStreams.h"

int main(int argc, char** argv) {
    // Before anything opens a file or a pipe that could otherwise become one of them.
    KeepStandardStreamsOpen();
    CaptureOptions options;
    std::string error;
    if (!ParseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "larkspur-capture: %s\n", error.c_str());
        return 2;
    }
    if (options.Help) {
        std::fputs(CaptureUsage, stdout);
        // The one a recording would run, as PATH stands now.
        const std::string encoder = FindEncoder();
        std::printf("\nEncoder: %s\n", encoder.empty()
                                           ? "none (no ffmpeg in the absolute folders of PATH)"
                                           : PrintableName(encoder).c_str());
        return 0;
    }
    if (options.Version) {
        std::fputs(CaptureVersion, stdout);
        return 0;
    }
    try {
        return RunCapture(options);
    } catch (const std::exception& e) {
        // A picture that fails while it is decoded, for one, ends up here.
        std::fprintf(stderr, "larkspur-capture: %s\n", e.what());
        return 1;
    }
}
