// The sound device the music player mixes for: interleaved 16-bit stereo at the mixing
// rate, pulled in buffers from the player's mixer by the device's own thread. SDL2 on
// Linux, waveOut on Windows; the player's mixing and clock are the same over both.
#pragma once

#include <cstdint>

struct AudioOutputClient {
    // Fills `frames` frames into `out`, which arrives zeroed. Returns true when the buffer
    // holds the playing song, false for silence that is not song time. Runs with the
    // output lock held and must not throw.
    bool (*Mix)(void* user, std::int16_t* out, std::uint32_t frames) = nullptr;
    // A buffer that Mix filled with the song starts to sound; stampNs is on the output's
    // clock (AudioOutputNanoseconds). Runs with the output lock held, in the order of the
    // buffers.
    void (*Sounding)(void* user, std::uint32_t frames, std::int64_t stampNs) = nullptr;
    void* User = nullptr;
};

// Opens the default output, silent until started; false when no device opens.
bool OpenAudioOutput(std::uint32_t rate, std::uint32_t bufferFrames,
                     const AudioOutputClient& client);
// Starts pulling buffers from the client.
void StartAudioOutput();
// Keeps the client from being called until unlocked.
void LockAudioOutput();
void UnlockAudioOutput();
// Stops and closes the output; the client is not called again.
void CloseAudioOutput();
// Now, on the clock the output stamps its buffers with: the steady clock (PlayClock.h).
std::int64_t AudioOutputNanoseconds();
