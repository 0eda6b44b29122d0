// The texts of the music player's error codes.
#include "audio/MusicPlayer.h"

#include <array>

static constexpr std::array<const char*, 19> ErrorTexts = {
    "No errors",
    // The two spaces after the full stop are exact on purpose.
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ", // the trailing space is part of the text, exact on purpose
    "The version number of this file format is not supported",
    "Incorrect mixer selected",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
    "Failed to allocate a new channel",
};

const char* SoundErrorText(std::uint8_t code) {
    // The top bit is not part of the code.
    const unsigned index = code & 0x7Fu;
    return index < ErrorTexts.size() ? ErrorTexts[index] : "Unknown error";
}
