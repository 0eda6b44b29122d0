// The music player: a sound output at the mixing rate (AudioOutput.h), fed by the mixer
// from the libopenmpt module that is playing, and the play clock read by the show.
//
// Sharing between the main thread and the audio thread: the output calls the mixer with
// its lock held, so everything the mixer reads (the playing song and its module, the
// frame count) is changed only under that lock. The play position goes
// the other way through a lock-free mark (PlayClock.h), so reading the show time never
// waits for the callback. The program may end with std::exit from inside a frame while
// the song plays: all player state lives on the heap and is never destroyed, and an
// exit hook takes the song away from the callback before static destructors run.
#include "audio/MusicPlayer.h"

#include "audio/AudioOutput.h"
#include "audio/PlayClock.h"
#include "audio/SongFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

struct FMUSIC_MODULE {
    std::unique_ptr<openmpt::module> Module;
    // Set when the decoder failed while playing; the song then plays silence.
    bool Broken = false;
};

FMUSIC_MODULE* Song = nullptr;

// Frames per callback: about 23 ms at 44100 Hz. The play clock smooths between them.
static constexpr std::uint32_t BufferFrames = 1024;

struct PlayerState {
    bool OutputOpen = false;
    std::uint32_t Rate = 0;
    // Under the output lock: the song the mixer plays and the frames of it that have
    // started to sound since that song started.
    FMUSIC_MODULE* Playing = nullptr;
    std::uint64_t FramesHanded = 0;
    // Published by the callback, read by FMUSIC_GetTime.
    SharedPlayMark Mark;
    // The highest time reported since the song started.
    std::atomic<std::uint64_t> HighestNs{0};
    // Handles given out by FMUSIC_LoadSong and not yet freed.
    std::vector<FMUSIC_MODULE*> Songs;
    std::function<std::uint32_t()> TimeSource;
    int LastError = FMOD_ERR_NONE;
    bool ExitHookInstalled = false;
};

// Created on first use and never destroyed (see the top of this file).
static PlayerState* Player = nullptr;

static PlayerState& State() {
    if (Player == nullptr) {
        Player = new PlayerState;
    }
    return *Player;
}

template <typename Result> static Result Fail(int code, Result result) {
    State().LastError = code;
    return result;
}

static bool IsLiveSong(const FMUSIC_MODULE* module) {
    const std::vector<FMUSIC_MODULE*>& songs = State().Songs;
    return module != nullptr && std::find(songs.begin(), songs.end(), module) != songs.end();
}

// Renders the next buffer of the playing song. Runs on the output's thread with its lock
// held.
static bool MixSong(void* user, std::int16_t* out, std::uint32_t frames) noexcept {
    PlayerState& player = *static_cast<PlayerState*>(user);
    FMUSIC_MODULE* song = player.Playing;
    if (song == nullptr) {
        return false;
    }
    if (!song->Broken) {
        try {
            std::size_t done = 0;
            while (done < frames) {
                const std::size_t got = song->Module->read_interleaved_stereo(
                    static_cast<std::int32_t>(player.Rate), frames - done, out + 2 * done);
                if (got == 0 || got > frames - done) {
                    break;
                }
                done += got;
            }
        } catch (...) {
            // Nothing may leave the audio thread. Keep time running over silence.
            song->Broken = true;
            std::memset(out, 0, frames * 2 * sizeof(std::int16_t));
        }
    }
    // Silence counts too: the show time is the time the song has been playing.
    return true;
}

// A buffer of the song starts to sound: the play clock moves on to it.
static void SongSounding(void* user, std::uint32_t frames, std::int64_t stampNs) noexcept {
    PlayerState& player = *static_cast<PlayerState*>(user);
    PublishPlayMark(player.Mark, PlayMark{player.FramesHanded, frames, stampNs});
    player.FramesHanded += frames;
}

// Takes the song away from the audio thread; afterwards the callback plays silence.
static void StopPlaying(PlayerState& player) {
    if (!player.OutputOpen || player.Playing == nullptr) {
        return;
    }
    LockAudioOutput();
    player.Playing = nullptr;
    UnlockAudioOutput();
}

// Runs when the program ends through std::exit with the song still playing, before
// the static destructors that the decoder may rely on.
static void StopPlayingAtExit() {
    if (Player != nullptr) {
        StopPlaying(*Player);
    }
}

signed char FSOUND_Init(int mixRate, int, unsigned int) {
    PlayerState& player = State();
    if (player.OutputOpen) {
        return Fail(FMOD_ERR_BUSY, static_cast<signed char>(0));
    }
    if (mixRate < 8000 || mixRate > 192000) {
        return Fail(FMOD_ERR_INVALID_PARAM, static_cast<signed char>(0));
    }
    AudioOutputClient client;
    client.Mix = MixSong;
    client.Sounding = SongSounding;
    client.User = &player;
    player.Rate = static_cast<std::uint32_t>(mixRate);
    if (!OpenAudioOutput(player.Rate, BufferFrames, client)) {
        player.Rate = 0;
        return Fail(FMOD_ERR_INIT, static_cast<signed char>(0));
    }
    player.OutputOpen = true;
    return 1;
}

int FSOUND_GetOutputRate() {
    return static_cast<int>(State().Rate);
}

int FSOUND_GetError() {
    return State().LastError;
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* name) {
    PlayerState& player = State();
    if (!player.OutputOpen) {
        return Fail(FMOD_ERR_UNINITIALIZED, static_cast<FMUSIC_MODULE*>(nullptr));
    }
    try {
        auto song = std::make_unique<FMUSIC_MODULE>();
        const int code = OpenSongFile(name, song->Module);
        if (code != FMOD_ERR_NONE) {
            return Fail(code, static_cast<FMUSIC_MODULE*>(nullptr));
        }
        player.Songs.push_back(song.get());
        return song.release();
    } catch (const std::bad_alloc&) {
        return Fail(FMOD_ERR_MEMORY, static_cast<FMUSIC_MODULE*>(nullptr));
    }
}

signed char FMUSIC_PlaySong(FMUSIC_MODULE* module) {
    PlayerState& player = State();
    if (!player.OutputOpen) {
        return Fail(FMOD_ERR_UNINITIALIZED, static_cast<signed char>(0));
    }
    if (!IsLiveSong(module)) {
        return Fail(FMOD_ERR_INVALID_PARAM, static_cast<signed char>(0));
    }
    if (!player.ExitHookInstalled) {
        // Installed now, after the decoder's own statics exist, so that it runs first.
        player.ExitHookInstalled = std::atexit(StopPlayingAtExit) == 0;
    }
    LockAudioOutput();
    bool rewound = true;
    try {
        module->Module->set_position_order_row(0, 0);
    } catch (...) {
        rewound = false;
    }
    if (rewound) {
        module->Broken = false;
        player.Playing = module;
        player.FramesHanded = 0;
        PublishPlayMark(player.Mark, PlayMark{});
        player.HighestNs.store(0, std::memory_order_relaxed);
    }
    UnlockAudioOutput();
    if (!rewound) {
        return Fail(FMOD_ERR_PLAY, static_cast<signed char>(0));
    }
    StartAudioOutput();
    return 1;
}

int FMUSIC_GetTime(FMUSIC_MODULE* module) {
    if (Player != nullptr && Player->TimeSource) {
        return static_cast<int>(Player->TimeSource());
    }
    if (Player == nullptr || module == nullptr || module != Player->Playing) {
        return 0;
    }
    const PlayMark mark = ReadPlayMark(Player->Mark);
    const std::uint64_t played = PlayedNanoseconds(mark, AudioOutputNanoseconds(), Player->Rate);
    return static_cast<int>(PlayedMilliseconds(RaiseToAtLeast(Player->HighestNs, played)));
}

signed char FMUSIC_FreeSong(FMUSIC_MODULE* module) {
    PlayerState& player = State();
    if (!IsLiveSong(module)) {
        return Fail(FMOD_ERR_INVALID_PARAM, static_cast<signed char>(0));
    }
    if (player.Playing == module) {
        StopPlaying(player);
    }
    player.Songs.erase(std::find(player.Songs.begin(), player.Songs.end(), module));
    delete module;
    return 1;
}

void FSOUND_Close() {
    PlayerState& player = State();
    if (!player.OutputOpen) {
        return;
    }
    StopPlaying(player);
    CloseAudioOutput();
    player.OutputOpen = false;
    player.Rate = 0;
}

void SetShowTimeSource(std::function<std::uint32_t()> source) {
    State().TimeSource = std::move(source);
}
