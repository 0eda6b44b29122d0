// Placeholder music player: no sound, a time source for tests only.
#include "audio/MusicPlayer.h"

#include <utility>

FMUSIC_MODULE* Song = nullptr;

static std::function<std::uint32_t()> TimeSource;

void SetShowTimeSource(std::function<std::uint32_t()> source) { TimeSource = std::move(source); }

signed char FSOUND_Init(int, int, unsigned int) { return 1; }
int FSOUND_GetError() { return 0; }
FMUSIC_MODULE* FMUSIC_LoadSong(const char*) { return nullptr; }
signed char FMUSIC_PlaySong(FMUSIC_MODULE*) { return 1; }
int FMUSIC_GetTime(FMUSIC_MODULE*) { return TimeSource ? static_cast<int>(TimeSource()) : 0; }
signed char FMUSIC_FreeSong(FMUSIC_MODULE*) { return 1; }
void FSOUND_Close() {}
const char* SoundErrorText(std::uint8_t) { return "Unknown error"; }
