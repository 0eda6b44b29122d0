// The names a sound server lists the show's stream under. Every SDL audio back end takes
// them from SDL's hints, as the sound system starts or the device opens, so they must be
// set before either.
#include <gtest/gtest.h>

#include "audio/MusicPlayer.h"

#include <SDL.h>

#include <cstdlib>
#include <map>
#include <string>

namespace {

struct Seen {
    std::string Value;
    bool AudioWasRunning = false;
};

std::map<std::string, Seen>& SeenHints() {
    static std::map<std::string, Seen> seen;
    return seen;
}

void SDLCALL Record(void* name, const char*, const char*, const char* value) {
    Seen& seen = SeenHints()[static_cast<const char*>(name)];
    seen.Value = value != nullptr ? value : "";
    seen.AudioWasRunning = SDL_WasInit(SDL_INIT_AUDIO) != 0;
}

} // namespace

TEST(SoundStreamName, IsLarkspurAndSetBeforeTheSoundSystemStarts) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    const char* const names[] = {SDL_HINT_APP_NAME, SDL_HINT_AUDIO_DEVICE_APP_NAME,
                                 SDL_HINT_AUDIO_DEVICE_STREAM_NAME};
    for (const char* name : names) {
        ::unsetenv(name);
        SDL_AddHintCallback(name, Record, const_cast<char*>(name));
    }
    SeenHints().clear();
    ASSERT_NE(FSOUND_Init(44100, 32, 0), 0);
    for (const char* name : names) {
        ASSERT_EQ(SeenHints().count(name), 1u) << name << " was never set";
        EXPECT_EQ(SeenHints()[name].Value, "Larkspur") << name;
        EXPECT_FALSE(SeenHints()[name].AudioWasRunning) << name << " was set after audio started";
        EXPECT_STREQ(SDL_GetHint(name), "Larkspur") << name;
        SDL_DelHintCallback(name, Record, const_cast<char*>(name));
    }
    FSOUND_Close();
}
