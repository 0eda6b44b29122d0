// The music player over a scripted sound output: this file stands in for the output
// (AudioOutput.h) and plays the device's part, asking for buffers at moments it chooses on
// a clock it sets. So the clock's checks hold on any machine, however loaded; the real
// device's pace is checked end to end (e2e_show_full: the show lasts its 84 s).
#include <gtest/gtest.h>

#include "audio/AudioOutput.h"
#include "audio/MusicPlayer.h"
#include "tests/support/LoopingModule.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct ScriptedOutput {
    bool Open = false;
    bool Started = false;
    std::uint32_t Rate = 0;
    std::uint32_t Frames = 0;
    AudioOutputClient Client;
    std::int64_t NowNs = 0;
};

ScriptedOutput Device;

} // namespace

bool OpenAudioOutput(std::uint32_t rate, std::uint32_t bufferFrames,
                     const AudioOutputClient& client) {
    if (Device.Open) {
        return false;
    }
    Device.Open = true;
    Device.Started = false;
    Device.Rate = rate;
    Device.Frames = bufferFrames;
    Device.Client = client;
    return true;
}

void StartAudioOutput() {
    Device.Started = true;
}

void LockAudioOutput() {}

void UnlockAudioOutput() {}

void CloseAudioOutput() {
    Device.Open = false;
    Device.Started = false;
}

std::int64_t AudioOutputNanoseconds() {
    return Device.NowNs;
}

namespace {

// The device asks for the next buffer at atNs, as SDL's callback does: the mixer fills
// it, and a buffer of the song is stamped as sounding from then. Returns whether it held
// the song; *loud tells whether any sample in it was not silence.
bool AskForBuffer(std::int64_t atNs, bool* loud = nullptr) {
    Device.NowNs = atNs;
    std::vector<std::int16_t> buffer(2 * Device.Frames, 0);
    const bool song = Device.Client.Mix(Device.Client.User, buffer.data(), Device.Frames);
    if (song) {
        Device.Client.Sounding(Device.Client.User, Device.Frames, atNs);
    }
    if (loud != nullptr) {
        *loud = false;
        for (std::int16_t sample : buffer) {
            *loud = *loud || sample != 0;
        }
    }
    return song;
}

constexpr std::int64_t Ms = 1000000;

class ScriptedPlayer : public ::testing::Test {
  protected:
    void SetUp() override {
        Device = ScriptedOutput{};
        ASSERT_NE(FSOUND_Init(44100, 32, 0), 0);
        const std::string path =
            (std::filesystem::temp_directory_path() / ("larkspur-loop-" + std::to_string(getpid())))
                .string();
        const std::vector<unsigned char> bytes = MakeLoopingMod();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        Loop = FMUSIC_LoadSong(path.c_str());
        std::filesystem::remove(path);
        ASSERT_NE(Loop, nullptr) << FSOUND_GetError();
    }
    void TearDown() override {
        if (Loop != nullptr) {
            FMUSIC_FreeSong(Loop);
        }
        FSOUND_Close();
    }
    FMUSIC_MODULE* Loop = nullptr;
};

} // namespace

TEST_F(ScriptedPlayer, OutputAtTheMixRateSilentUntilTheSongPlays) {
    EXPECT_EQ(Device.Rate, 44100u);
    EXPECT_EQ(Device.Frames, 1024u); // 23.2 ms a buffer
    EXPECT_FALSE(Device.Started);
    // Before the song starts the device gets silence that is no show time.
    EXPECT_FALSE(AskForBuffer(5 * Ms));
    EXPECT_EQ(FMUSIC_GetTime(Loop), 0);
    ASSERT_EQ(FMUSIC_PlaySong(Loop), 1);
    EXPECT_TRUE(Device.Started);
    // Started, but nothing has sounded yet.
    Device.NowNs = 900 * Ms;
    EXPECT_EQ(FMUSIC_GetTime(Loop), 0);
}

// Buffers are asked for early, late and in bursts, as on a busy machine; the time is read
// every half millisecond between them, as a busy frame loop would.
TEST_F(ScriptedPlayer, ClockIsMonotonicSmoothAndRunsPastTheLoop) {
    ASSERT_EQ(FMUSIC_PlaySong(Loop), 1);
    const std::int64_t gapsMs[] = {23, 23, 40, 2, 1, 23, 60, 23, 10, 23, 23, 30, 5, 23, 23, 23};
    std::int64_t at = 1000 * Ms;
    std::uint64_t handedFrames = 0;
    int last = 0;
    std::set<int> seen;
    bool anyLoud = false;
    for (std::int64_t gap : gapsMs) {
        bool loud = false;
        ASSERT_TRUE(AskForBuffer(at, &loud));
        anyLoud = anyLoud || loud;
        handedFrames += 1024;
        const auto handedMs = static_cast<int>(handedFrames * 1000 / 44100);
        for (std::int64_t now = at; now < at + gap * Ms; now += Ms / 2) {
            Device.NowNs = now;
            const int time = FMUSIC_GetTime(Loop);
            ASSERT_GE(time, last) << "at " << now / Ms << " ms";
            // Never ahead of the sound handed to the device.
            ASSERT_LE(time, handedMs) << "at " << now / Ms << " ms";
            seen.insert(time);
            last = time;
        }
        at += gap * Ms;
    }
    EXPECT_TRUE(anyLoud) << "the mixer handed out silence only";
    // Many loops of the 20 ms song: the time counts sound played, not the position. The
    // last reading: fifteen whole buffers and 22.5 ms into the sixteenth.
    EXPECT_EQ(last, static_cast<int>((15 * 1024 * 1000000ll / 44100 + 22500) / 1000));
    // A staircase would give one value per buffer.
    EXPECT_GT(seen.size(), 3u * 16u);

    // Exactly: the buffers before the current one, and the time since it was asked for.
    ASSERT_TRUE(AskForBuffer(at));
    Device.NowNs = at + 7 * Ms;
    EXPECT_EQ(FMUSIC_GetTime(Loop),
              static_cast<int>((16 * 1024 * 1000000ll / 44100 + 7000) / 1000));
    // A late device: the time waits at the end of the buffer.
    Device.NowNs = at + 500 * Ms;
    EXPECT_EQ(FMUSIC_GetTime(Loop), static_cast<int>(17 * 1024 * 1000 / 44100));

    // Playing again starts the time again.
    ASSERT_EQ(FMUSIC_PlaySong(Loop), 1);
    EXPECT_EQ(FMUSIC_GetTime(Loop), 0);
    ASSERT_TRUE(AskForBuffer(at + 600 * Ms));
    Device.NowNs = at + 610 * Ms;
    EXPECT_EQ(FMUSIC_GetTime(Loop), 10);

    EXPECT_EQ(FMUSIC_FreeSong(Loop), 1);
    EXPECT_EQ(FMUSIC_FreeSong(Loop), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    Loop = nullptr;
    // A freed song no longer feeds the device.
    EXPECT_FALSE(AskForBuffer(at + 700 * Ms));
}
