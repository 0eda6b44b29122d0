// The sound output over Web Audio. A page has one thread, so nothing pulls buffers on
// its own: the page tops the output up at every animation frame and on a short timer,
// mixing buffers ahead of the play position and queueing each one to start where the
// last ends. A buffer is reported as sounding once the context's play position has
// reached its start, stamped with that start, so the show time follows what is heard.
// The output's clock is the context's play position.
#include "audio/AudioOutput.h"

#include <emscripten/emscripten.h>
#include <emscripten/emscripten.h>

#include <cstring>
#include <deque>
#include <vector>

namespace {

struct QueuedBuffer {
    double Start = 0.0;
    std::uint32_t Frames = 0;
};

struct WebOutput {
    bool Open = false;
    bool Started = false;
    std::uint32_t Rate = 0;
    std::uint32_t BufferFrames = 0;
    AudioOutputClient Client;
    std::vector<std::int16_t> Mixed;
    std::deque<QueuedBuffer> Queued;
};

WebOutput& Output() {
    static WebOutput* const output = new WebOutput;
    return *output;
}

// How far ahead of the play position buffers are queued: longer than the slowest frame
// a software renderer takes, so that the sound never runs dry between top-ups.
constexpr double AheadSeconds = 0.5;

} // namespace

// The context is made now, inside the reader's click, so the browser lets it play.
EM_JS(int, web_audio_open, (int rate), {
    const Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) {
        return 0;
    }
    try {
        Module.larkspurAudio = {context : new Context({sampleRate : rate}), next : 0};
    } catch (e) {
        return 0;
    }
    return 1;
});

EM_JS(void, web_audio_start, (), {
    const audio = Module.larkspurAudio;
    audio.context.resume();
    audio.next = audio.context.currentTime + 0.05;
    const pump = function() {
        Module._WebAudioTopUp();
    };
    audio.timer = setInterval(pump, 20);
    (Module.larkspurOnFrame = Module.larkspurOnFrame || []).push(pump);
});

EM_JS(double, web_audio_now, (), {
    const audio = Module.larkspurAudio;
    return audio ? audio.context.currentTime : performance.now() / 1000;
});

EM_JS(double, web_audio_next, (), { return Module.larkspurAudio.next; });

// Queues interleaved 16-bit stereo to start where the last buffer ends; returns its start.
EM_JS(double, web_audio_queue, (const std::int16_t* samples, int frames, int rate), {
    const audio = Module.larkspurAudio;
    const buffer = audio.context.createBuffer(2, frames, rate);
    const left = buffer.getChannelData(0);
    const right = buffer.getChannelData(1);
    const base = samples >> 1;
    for (let i = 0; i < frames; ++i) {
        left[i] = HEAP16[base + 2 * i] / 32768;
        right[i] = HEAP16[base + 2 * i + 1] / 32768;
    }
    if (Module.larkspurSoundRecord) {
        Module.larkspurSoundRecord.push(HEAP16.slice(base, base + 2 * frames));
    }
    const now = audio.context.currentTime;
    // After a stall the next buffer starts now rather than in the past.
    const start = Math.max(audio.next, now);
    const source = audio.context.createBufferSource();
    source.buffer = buffer;
    source.connect(audio.context.destination);
    source.start(start);
    audio.next = start + frames / rate;
    return start;
});

EM_JS(void, web_audio_close, (), {
    const audio = Module.larkspurAudio;
    if (audio) {
        clearInterval(audio.timer);
        audio.context.close();
        Module.larkspurAudio = null;
    }
});

extern "C" EMSCRIPTEN_KEEPALIVE void WebAudioTopUp() {
    WebOutput& output = Output();
    if (!output.Open || !output.Started) {
        return;
    }
    const double now = web_audio_now();
    while (!output.Queued.empty() && output.Queued.front().Start <= now) {
        const QueuedBuffer sounding = output.Queued.front();
        output.Queued.pop_front();
        output.Client.Sounding(output.Client.User, sounding.Frames,
                               static_cast<std::int64_t>(sounding.Start * 1e9));
    }
    while (web_audio_next() < now + AheadSeconds) {
        std::fill(output.Mixed.begin(), output.Mixed.end(), std::int16_t{0});
        const bool song =
            output.Client.Mix(output.Client.User, output.Mixed.data(), output.BufferFrames);
        const double start =
            web_audio_queue(output.Mixed.data(), static_cast<int>(output.BufferFrames),
                            static_cast<int>(output.Rate));
        if (song) {
            output.Queued.push_back(QueuedBuffer{start, output.BufferFrames});
        }
    }
}

bool OpenAudioOutput(std::uint32_t rate, std::uint32_t bufferFrames,
                     const AudioOutputClient& client) {
    WebOutput& output = Output();
    if (output.Open || client.Mix == nullptr || client.Sounding == nullptr || bufferFrames == 0) {
        return false;
    }
    if (web_audio_open(static_cast<int>(rate)) == 0) {
        return false;
    }
    output.Open = true;
    output.Rate = rate;
    output.BufferFrames = bufferFrames;
    output.Client = client;
    output.Mixed.assign(static_cast<std::size_t>(bufferFrames) * 2, 0);
    return true;
}

void StartAudioOutput() {
    WebOutput& output = Output();
    if (!output.Open || output.Started) {
        return;
    }
    output.Started = true;
    web_audio_start();
    WebAudioTopUp();
}

// One thread: the top-up never runs while the show holds the output.
void LockAudioOutput() {}
void UnlockAudioOutput() {}

void CloseAudioOutput() {
    WebOutput& output = Output();
    if (!output.Open) {
        return;
    }
    web_audio_close();
    output.Open = false;
    output.Started = false;
    output.Queued.clear();
}

std::int64_t AudioOutputNanoseconds() {
    return static_cast<std::int64_t>(web_audio_now() * 1e9);
}
