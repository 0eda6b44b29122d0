// The sound output over an SDL audio device. SDL runs the callback on its audio thread
// with the device lock held, which is the output lock.
#include "audio/AudioOutput.h"

#include "audio/PlayClock.h"

#include <SDL.h>

#include <cstring>

namespace {

struct SdlOutput {
    SDL_AudioDeviceID Device = 0;
    AudioOutputClient Client;
    // From a callback to the moment its buffer starts to sound (SoundingDelayNs).
    std::int64_t DelayNs = 0;
};

// Never destroyed: the program may end while the device still runs.
SdlOutput& Output() {
    static SdlOutput* const output = new SdlOutput;
    return *output;
}

constexpr int BytesPerFrame = 2 * static_cast<int>(sizeof(std::int16_t));

// What the show asks PulseAudio (and PipeWire's Pulse server) to hold, through libpulse's
// own variable. SDL's back end asks for one buffer in all and mixes the next only when
// the server has room for a whole one, so the sound runs dry whenever the audio thread
// is kept waiting a few milliseconds: a busy machine broke it up hundreds of times a
// show. Held this long, the server asks for more with the rest still to play. A value
// the user set stands.
constexpr const char* PulseLatencyMs = "200";

void SDLCALL FillAudio(void* userdata, Uint8* stream, int length) noexcept {
    if (stream == nullptr || length <= 0) {
        return;
    }
    std::memset(stream, 0, static_cast<std::size_t>(length));
    const SdlOutput& output = *static_cast<SdlOutput*>(userdata);
    const AudioOutputClient& client = output.Client;
    // The device asks for this buffer now; it sounds once what the server holds has
    // played (SoundingDelayNs).
    const std::int64_t stamp = AudioOutputNanoseconds() + output.DelayNs;
    const auto frames = static_cast<std::uint32_t>(length / BytesPerFrame);
    if (client.Mix(client.User, reinterpret_cast<std::int16_t*>(stream), frames)) {
        client.Sounding(client.User, frames, stamp);
    }
}

} // namespace

bool OpenAudioOutput(std::uint32_t rate, std::uint32_t bufferFrames,
                     const AudioOutputClient& client) {
    SdlOutput& output = Output();
    if (output.Device != 0 || client.Mix == nullptr || client.Sounding == nullptr) {
        return false;
    }
    // Sound servers list the show's stream by these names (SDL's own is "SDL
    // Application"). SDL's back ends read them as the sound system starts or the device
    // opens, so they come first; a variable of the same name still overrides them.
    SDL_SetHint(SDL_HINT_APP_NAME, "Larkspur");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Larkspur");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "Larkspur");
    SDL_setenv("PULSE_LATENCY_MSEC", PulseLatencyMs, 0);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    output.Client = client;
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(rate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = static_cast<Uint16>(bufferFrames);
    wanted.callback = FillAudio;
    wanted.userdata = &output;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware takes, so the callback
    // always works at the mixing rate in 16-bit stereo.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    const char* latency = SDL_getenv("PULSE_LATENCY_MSEC");
    const bool pulse = driver != nullptr && std::strcmp(driver, "pulseaudio") == 0;
    output.DelayNs = static_cast<std::int64_t>(
        SoundingDelayNs(pulse && latency != nullptr ? SDL_atoi(latency) : 0,
                        static_cast<std::uint32_t>(obtained.samples), rate));
    output.Device = device;
    return true;
}

void StartAudioOutput() {
    if (Output().Device != 0) {
        SDL_PauseAudioDevice(Output().Device, 0);
    }
}

void LockAudioOutput() {
    if (Output().Device != 0) {
        SDL_LockAudioDevice(Output().Device);
    }
}

void UnlockAudioOutput() {
    if (Output().Device != 0) {
        SDL_UnlockAudioDevice(Output().Device);
    }
}

std::int64_t AudioOutputNanoseconds() {
    return SteadyNanoseconds();
}

void CloseAudioOutput() {
    SdlOutput& output = Output();
    if (output.Device == 0) {
        return;
    }
    // Waits for the audio thread to finish.
    SDL_CloseAudioDevice(output.Device);
    output.Device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
