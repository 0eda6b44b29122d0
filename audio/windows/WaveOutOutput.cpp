// The sound output over waveOut. A feeder thread keeps a ring of buffers queued on the
// device; each time the oldest one finishes, the next one is sounding, and the finished
// one is mixed again and queued behind the rest. The output lock is our own mutex.
//
// The feeder may wake well after a buffer finished (the queue keeps the sound going
// meanwhile), so the moment a buffer started is worked out from the device's play
// position rather than taken as the moment the feeder noticed: late wake-ups would
// otherwise add up and the show would fall behind its music.
//
// The show may end through exit() from inside a frame with the device still playing.
// Wine ends the threads still running at that point by a signal, and one caught as it
// enters or leaves a system call (the feeder, or the sound system's own timer thread,
// both waking every few milliseconds) can fault in the handler and take the process down
// with SIGSEGV instead of status 0. So an exit handler stops the device in order first,
// and only threads that sit blocked are left for the process end.
#include "audio/AudioOutput.h"

#include "audio/PlayClock.h"
#include "platform/Win32.h"

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Sixteen buffers of about 23 ms: enough queued for a busy system (or Wine's sound
// server) not to run dry; the play clock accounts for the queue.
constexpr int BufferCount = 16;
constexpr int Channels = 2;

struct WaveOutput {
    HWAVEOUT Device = nullptr;
    // Signalled by the device whenever a buffer finishes.
    HANDLE BufferDone = nullptr;
    std::thread Feeder;
    std::mutex Lock;
    std::atomic<bool> Stopping{false};
    AudioOutputClient Client;
    std::uint32_t Frames = 0;
    std::uint32_t Rate = 0;
    // Under the lock: whether the buffers have been queued, which one finishes next and
    // the device position at which it started, and for each buffer whether the client
    // filled it with song.
    bool Started = false;
    int Oldest = 0;
    std::uint64_t OldestStartFrame = 0;
    std::vector<std::int16_t> Samples;
    WAVEHDR Headers[BufferCount] = {};
    bool HoldsSong[BufferCount] = {};
};

// Never destroyed: the exit handler and the feeder may use it after static destruction
// has begun.
WaveOutput& Output() {
    static WaveOutput* const output = new WaveOutput;
    return *output;
}

// Mixes buffer `index` and queues it at the end of the device's queue. Lock held.
void Refill(WaveOutput& output, int index) {
    WAVEHDR& header = output.Headers[index];
    auto* samples = reinterpret_cast<std::int16_t*>(header.lpData);
    std::memset(samples, 0, header.dwBufferLength);
    output.HoldsSong[index] = output.Client.Mix(output.Client.User, samples, output.Frames);
    header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
    waveOutWrite(output.Device, &header, sizeof header);
}

// The steady-clock time at which the oldest buffer began to sound: now, less how far the
// device has played into it.
std::int64_t OldestStartStamp(WaveOutput& output) {
    const std::int64_t now = AudioOutputNanoseconds();
    MMTIME position = {};
    position.wType = TIME_SAMPLES;
    if (waveOutGetPosition(output.Device, &position, sizeof position) != MMSYSERR_NOERROR ||
        position.wType != TIME_SAMPLES) {
        return now;
    }
    // The device counts in 32 bits; the difference is right across a wrap.
    const auto into = static_cast<std::int32_t>(
        position.u.sample - static_cast<std::uint32_t>(output.OldestStartFrame));
    if (into <= 0) {
        return now;
    }
    const auto frames = std::min(static_cast<std::uint32_t>(into), output.Frames);
    return now - static_cast<std::int64_t>(FramesToNanoseconds(frames, output.Rate));
}

void OldestSounding(WaveOutput& output) {
    if (output.HoldsSong[output.Oldest]) {
        output.Client.Sounding(output.Client.User, output.Frames, OldestStartStamp(output));
    }
}

void Feed(WaveOutput& output) {
    while (!output.Stopping.load(std::memory_order_acquire)) {
        WaitForSingleObject(output.BufferDone, 100);
        std::lock_guard<std::mutex> hold(output.Lock);
        if (output.Stopping.load(std::memory_order_acquire) || !output.Started) {
            continue;
        }
        // Buffers finish in the order they were queued.
        while ((output.Headers[output.Oldest].dwFlags & WHDR_DONE) != 0) {
            const int finished = output.Oldest;
            output.Oldest = (output.Oldest + 1) % BufferCount;
            output.OldestStartFrame += output.Frames;
            OldestSounding(output);
            Refill(output, finished);
        }
    }
}

void CloseAtExit() {
    CloseAudioOutput();
}

// Registered when a device first opens, before the player registers the handler that
// takes the song away, so it runs after that one: by then the feeder mixes silence and
// no longer touches the decoder, whose statics may already be gone.
void CloseOutputAtExit() {
    static bool registered = false;
    if (!registered) {
        registered = std::atexit(CloseAtExit) == 0;
    }
}

} // namespace

bool OpenAudioOutput(std::uint32_t rate, std::uint32_t bufferFrames,
                     const AudioOutputClient& client) {
    WaveOutput& output = Output();
    if (output.Device != nullptr || client.Mix == nullptr || client.Sounding == nullptr ||
        bufferFrames == 0) {
        return false;
    }
    output.BufferDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (output.BufferDone == nullptr) {
        return false;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = Channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(Channels * sizeof(std::int16_t));
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    if (waveOutOpen(&output.Device, WAVE_MAPPER, &format,
                    reinterpret_cast<DWORD_PTR>(output.BufferDone), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        output.Device = nullptr;
        CloseHandle(output.BufferDone);
        output.BufferDone = nullptr;
        return false;
    }
    output.Client = client;
    output.Frames = bufferFrames;
    output.Rate = rate;
    output.Samples.assign(static_cast<std::size_t>(BufferCount) * bufferFrames * Channels, 0);
    for (int i = 0; i < BufferCount; ++i) {
        WAVEHDR& header = output.Headers[i];
        header = {};
        header.lpData = reinterpret_cast<LPSTR>(
            output.Samples.data() + static_cast<std::size_t>(i) * bufferFrames * Channels);
        header.dwBufferLength = bufferFrames * format.nBlockAlign;
        waveOutPrepareHeader(output.Device, &header, sizeof header);
        output.HoldsSong[i] = false;
    }
    output.Started = false;
    output.Oldest = 0;
    output.OldestStartFrame = 0;
    output.Stopping.store(false, std::memory_order_release);
    output.Feeder = std::thread(Feed, std::ref(output));
    CloseOutputAtExit();
    return true;
}

void StartAudioOutput() {
    WaveOutput& output = Output();
    if (output.Device == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> hold(output.Lock);
    if (output.Started) {
        return;
    }
    for (int i = 0; i < BufferCount; ++i) {
        Refill(output, i);
    }
    output.Started = true;
    OldestSounding(output);
}

void LockAudioOutput() {
    Output().Lock.lock();
}

void UnlockAudioOutput() {
    Output().Lock.unlock();
}

std::int64_t AudioOutputNanoseconds() {
    return SteadyNanoseconds();
}

void CloseAudioOutput() {
    WaveOutput& output = Output();
    if (output.Device == nullptr) {
        return;
    }
    output.Stopping.store(true, std::memory_order_release);
    SetEvent(output.BufferDone);
    if (output.Feeder.joinable()) {
        output.Feeder.join();
    }
    // Hands every queued buffer back, so that they can be released.
    waveOutReset(output.Device);
    for (WAVEHDR& header : output.Headers) {
        waveOutUnprepareHeader(output.Device, &header, sizeof header);
    }
    waveOutClose(output.Device);
    output.Device = nullptr;
    CloseHandle(output.BufferDone);
    output.BufferDone = nullptr;
    output.Started = false;
}
