// The music player: error texts, start-up and load failures, playback of a real
// module on SDL's dummy device (which consumes sound in real time), the show-time seam,
// and ending the program while the song plays.
#include <gtest/gtest.h>

#include "audio/MusicPlayer.h"
#include "tests/support/LoopingModule.h"

#include <libopenmpt/libopenmpt.hpp>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

class TempDir {
  public:
    TempDir() {
        Path = fs::temp_directory_path() / ("larkspur-audio-" + std::to_string(::getpid()));
        fs::create_directories(Path);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(Path, ignored);
    }
    std::string Write(const std::string& name, const Bytes& bytes) const {
        const fs::path file = Path / name;
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }
    fs::path Path;
};

static Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

class MusicPlayer : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("SDL_AUDIODRIVER", "dummy", 1); }
    void TearDown() override {
        SetShowTimeSource({});
        FSOUND_Close();
    }
    static void InitDummy() { ASSERT_NE(FSOUND_Init(44100, 32, 0), 0) << FSOUND_GetError(); }
};

TEST(SoundErrorText, EveryCodeHasItsTextInTheLowSevenBits) {
    const char* const expected[] = {
        "No errors",
        "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
        "This command failed because FSOUND_Init was not called",
        "Error initializing output device.",
        "The output device is already in use and cannot be reused.",
        "Playing the sound failed.",
        ("Soundcard does not support the features needed for this soundsystem (16bit stereo "
         "output)"),
        "Error setting cooperative level for hardware.",
        "Error creating hardware sound buffer.",
        "File not found",
        "Unknown file format",
        "Error loading file",
        "Not enough memory ",
        "The version number of this file format is not supported",
        "Incorrect mixer selected",
        "An invalid parameter was passed to this function",
        "Tried to use an EAX command on a non EAX enabled channel or output.",
        "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output.",
        "Failed to allocate a new channel",
    };
    for (unsigned code = 0; code < std::size(expected); ++code) {
        EXPECT_STREQ(SoundErrorText(static_cast<std::uint8_t>(code)), expected[code]) << code;
        EXPECT_STREQ(SoundErrorText(static_cast<std::uint8_t>(code | 0x80)), expected[code])
            << code;
    }
    for (unsigned code = 19; code < 256; ++code) {
        if ((code & 0x7F) >= 19) {
            EXPECT_STREQ(SoundErrorText(static_cast<std::uint8_t>(code)), "Unknown error") << code;
        }
    }
}

// The named codes report their own texts: a code numbered one off shows its neighbour's.
TEST(SoundErrorText, NamedCodesReportTheirOwnTexts) {
    const std::pair<int, const char*> named[] = {
        {FMOD_ERR_FILE_NOTFOUND, "File not found"},
        {FMOD_ERR_FILE_FORMAT, "Unknown file format"},
        {FMOD_ERR_FILE_BAD, "Error loading file"},
        {FMOD_ERR_MEMORY, "Not enough memory "},
        {FMOD_ERR_INVALID_PARAM, "An invalid parameter was passed to this function"},
        {FMOD_ERR_NO_EAX, "Tried to use an EAX command on a non EAX enabled channel or output."},
        {FMOD_ERR_NO_EAX2,
         "Tried to use an advanced EAX2 command on a non EAX2 enabled channel or output."},
        {FMOD_ERR_CHANNEL_ALLOC, "Failed to allocate a new channel"},
    };
    for (const auto& [code, text] : named) {
        EXPECT_STREQ(SoundErrorText(static_cast<std::uint8_t>(code)), text) << code;
    }
}

TEST_F(MusicPlayer, InitFailsWithoutAnOutputDevice) {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INIT);
    // The start-up closes the sound system after the failure, and loading is refused.
    EXPECT_EQ(FMUSIC_LoadSong("data/theme.xm"), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    FSOUND_Close();
    FSOUND_Close();
    // A working driver afterwards still opens.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_NE(FSOUND_Init(44100, 32, 0), 0);
}

TEST_F(MusicPlayer, CallsOutOfOrderFailCleanly) {
    const std::string mod = TempDir().Write("song.mod", MakeLoopingMod());
    EXPECT_EQ(FMUSIC_LoadSong(mod.c_str()), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    EXPECT_EQ(FMUSIC_PlaySong(nullptr), 0);
    EXPECT_EQ(FMUSIC_FreeSong(nullptr), 0);
    EXPECT_EQ(FMUSIC_GetTime(nullptr), 0);
    FSOUND_Close();

    InitDummy();
    EXPECT_EQ(FSOUND_Init(44100, 32, 0), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
    EXPECT_EQ(FMUSIC_PlaySong(nullptr), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    // A pointer that was never a song is neither played nor freed.
    int notASong = 0;
    auto* forged = reinterpret_cast<FMUSIC_MODULE*>(&notASong);
    EXPECT_EQ(FMUSIC_PlaySong(forged), 0);
    EXPECT_EQ(FMUSIC_FreeSong(forged), 0);
    EXPECT_EQ(FMUSIC_GetTime(forged), 0);
}

TEST_F(MusicPlayer, LoadFailuresGiveTheirCodes) {
    InitDummy();
    TempDir dir;
    const std::string fifo = (dir.Path / "pipe.xm").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Bytes damaged(64, 0); // a header the decoder recognises, and nothing behind it
    std::memcpy(damaged.data(), "DBM0", 4);
    const struct {
        std::string Path;
        int Code;
    } cases[] = {
        {(dir.Path / "missing.xm").string(), FMOD_ERR_FILE_NOTFOUND},
        {(dir.Path / "no-dir" / "theme.xm").string(), FMOD_ERR_FILE_NOTFOUND},
        {"", FMOD_ERR_FILE_NOTFOUND},
        {dir.Write("empty.xm", {}), FMOD_ERR_FILE_FORMAT},
        {dir.Write("text.xm", Text("This is not music, only words.\n")), FMOD_ERR_FILE_FORMAT},
        {dir.Write("picture.xm", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0}),
         FMOD_ERR_FILE_FORMAT},
        {dir.Write("half-header.xm", Text("Extended Module: ha")), FMOD_ERR_FILE_FORMAT},
        {dir.Write("damaged.dbm", damaged), FMOD_ERR_FILE_BAD},
        {dir.Path.string(), FMOD_ERR_FILE_BAD},
        // Must fail at once rather than wait for a writer.
        {fifo, FMOD_ERR_FILE_BAD},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FMUSIC_LoadSong(c.Path.c_str()), nullptr) << c.Path;
        EXPECT_EQ(FSOUND_GetError(), c.Code) << c.Path;
    }
    EXPECT_EQ(FMUSIC_LoadSong(nullptr), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
}

TEST_F(MusicPlayer, LoadsTheDefaultSongWhenItHasBeenGenerated) {
    const char* build = std::getenv("LARKSPUR_BUILD_DIR");
    const fs::path theme = fs::path(build != nullptr ? build : ".") / "data" / "theme.xm";
    if (!fs::exists(theme)) {
        GTEST_SKIP() << theme << " not generated yet";
    }
    InitDummy();
    FMUSIC_MODULE* song = FMUSIC_LoadSong(theme.c_str());
    ASSERT_NE(song, nullptr) << SoundErrorText(static_cast<std::uint8_t>(FSOUND_GetError()));
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
}

TEST_F(MusicPlayer, TimeSourceOverridesTheClockForEveryModule) {
    InitDummy();
    TempDir dir;
    FMUSIC_MODULE* song = FMUSIC_LoadSong(dir.Write("loop.mod", MakeLoopingMod()).c_str());
    ASSERT_NE(song, nullptr);
    std::uint32_t showTime = 8001;
    SetShowTimeSource([&] { return showTime; });
    EXPECT_EQ(FMUSIC_GetTime(song), 8001);
    EXPECT_EQ(FMUSIC_GetTime(nullptr), 8001);
    showTime = 0xFFFFFFF0u; // the full unsigned range survives the int result
    EXPECT_EQ(static_cast<std::uint32_t>(FMUSIC_GetTime(song)), 0xFFFFFFF0u);
    SetShowTimeSource({});
    EXPECT_EQ(FMUSIC_GetTime(nullptr), 0);
    EXPECT_EQ(FMUSIC_GetTime(song), 0); // loaded, never played
    EXPECT_EQ(FMUSIC_FreeSong(song), 1);
}

// The show can end with std::exit from inside a frame while the audio thread is busy
// rendering; that must end quietly with status 0, however the timing falls.
TEST_F(MusicPlayer, ExitWhilePlayingEndsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string path = dir.Write("loop.mod", MakeLoopingMod());
    for (int delayMs : {0, 7, 31}) {
        EXPECT_EXIT(
            {
                if (FSOUND_Init(44100, 32, 0) == 0) {
                    std::exit(3);
                }
                Song = FMUSIC_LoadSong(path.c_str());
                if (Song == nullptr || FMUSIC_PlaySong(Song) == 0) {
                    std::exit(4);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "")
            << delayMs;
    }
}
