// The show time: milliseconds of music played, read anew at every use.
#pragma once

#include <cstdint>

#include "audio/MusicPlayer.h"

inline std::uint32_t ShowTime() {
    return static_cast<std::uint32_t>(FMUSIC_GetTime(Song));
}
