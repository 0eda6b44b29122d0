// The music player: sound output, the song, its play position, and the texts of
// the player's error codes. Shaped like the classic FSOUND/FMUSIC calls; served by
// libopenmpt for module playback and SDL2 (waveOut on Windows) for audio output.
#pragma once

#include <cstdint>
#include <functional>

struct FMUSIC_MODULE;

// The song the show plays; null while none is loaded.
extern FMUSIC_MODULE* Song;

// Error codes reported by FSOUND_GetError; each value indexes its text in SoundErrorText.
enum FMOD_ERRORS : int {
    FMOD_ERR_NONE = 0,
    FMOD_ERR_BUSY = 1,
    FMOD_ERR_UNINITIALIZED = 2,
    FMOD_ERR_INIT = 3,
    FMOD_ERR_ALLOCATED = 4,
    FMOD_ERR_PLAY = 5,
    FMOD_ERR_OUTPUT_FORMAT = 6,
    FMOD_ERR_COOPERATIVELEVEL = 7,
    FMOD_ERR_CREATEBUFFER = 8,
    FMOD_ERR_FILE_NOTFOUND = 9,
    FMOD_ERR_FILE_FORMAT = 10,
    FMOD_ERR_FILE_BAD = 11,
    FMOD_ERR_MEMORY = 12,
    FMOD_ERR_VERSION = 13,
    FMOD_ERR_MIXER = 14,
    FMOD_ERR_INVALID_PARAM = 15,
    FMOD_ERR_NO_EAX = 16,
    FMOD_ERR_NO_EAX2 = 17,
    FMOD_ERR_CHANNEL_ALLOC = 18,
};

// Opens sound output; the low byte of the result is non-zero on success.
signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags);
// The mixing rate the output was opened at; 0 while it is closed.
int FSOUND_GetOutputRate();
// The code of the last failure.
int FSOUND_GetError();
// Loads a module file; null on failure (see FSOUND_GetError).
FMUSIC_MODULE* FMUSIC_LoadSong(const char* name);
// Starts playback from the beginning; the song loops for ever.
signed char FMUSIC_PlaySong(FMUSIC_MODULE* module);
// Milliseconds of music played since FMUSIC_PlaySong; never goes backwards.
int FMUSIC_GetTime(FMUSIC_MODULE* module);
// Stops playback and frees the module.
signed char FMUSIC_FreeSong(FMUSIC_MODULE* module);
// Shuts sound output down.
void FSOUND_Close();

// The text for an error code; only its low 7 bits are examined.
const char* SoundErrorText(std::uint8_t code);

// Test and recording seam: while a source is set, FMUSIC_GetTime returns its value
// for every module instead of the play position. An empty function clears it.
void SetShowTimeSource(std::function<std::uint32_t()> source);
