// The recording's soundtrack: the show's module rendered by libopenmpt from its
// beginning, looping as the live player loops it, cut to exactly the samples that
// belong to the recorded frames and written as a 16-bit stereo WAV file that has no
// name, so that however the recorder ends, nothing of it stays in the temporary folder.
#include "capture/Capture.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <libopenmpt/libopenmpt.hpp>

#include "audio/MusicPlayer.h"
#include "audio/SongFile.h"

static constexpr std::size_t ChunkFrames = 4096;

static void PutLe16(unsigned char* at, std::uint16_t v) {
    at[0] = static_cast<unsigned char>(v);
    at[1] = static_cast<unsigned char>(v >> 8);
}

static void PutLe32(unsigned char* at, std::uint32_t v) {
    PutLe16(at, static_cast<std::uint16_t>(v));
    PutLe16(at + 2, static_cast<std::uint16_t>(v >> 16));
}

static std::array<unsigned char, 44> WavHeader(std::uint32_t dataBytes) {
    std::array<unsigned char, 44> h = {};
    std::memcpy(&h[0], "RIFF", 4);
    PutLe32(&h[4], 36 + dataBytes);
    std::memcpy(&h[8], "WAVEfmt ", 8);
    PutLe32(&h[16], 16);
    PutLe16(&h[20], 1); // PCM
    PutLe16(&h[22], 2); // stereo
    PutLe32(&h[24], SoundtrackRate);
    PutLe32(&h[28], SoundtrackRate * 4);
    PutLe16(&h[32], 4);
    PutLe16(&h[34], 16);
    std::memcpy(&h[36], "data", 4);
    PutLe32(&h[40], dataBytes);
    return h;
}

// False with errno set when the bytes could not all be written.
static bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

static std::string TemporaryFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

int MakeSoundtrackFile(std::string& error) {
    const std::string dir = TemporaryFolder();
    int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        // A file system without unnamed files: name one and take the name away at once.
        std::string pattern = dir + "/larkspur-capture-XXXXXX";
        fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0) {
            unlink(pattern.c_str());
        }
    }
    if (fd < 0) {
        error = "cannot make a temporary file for the soundtrack in " + dir + ": " +
                std::strerror(errno);
    }
    return fd;
}

// The song as the live player opens it: the same reader and decoder, looping for ever.
static std::unique_ptr<openmpt::module> LoadSong(const std::string& songFile, std::string& error) {
    std::unique_ptr<openmpt::module> song;
    const int code = OpenSongFile(songFile.c_str(), song);
    if (code != FMOD_ERR_NONE || !song) {
        error = "cannot play " + songFile + ": " + SoundErrorText(static_cast<std::uint8_t>(code));
        return nullptr;
    }
    // The default dither is random noise: two recordings would differ, and so would
    // a cut and the same stretch of a longer render.
    song->ctl_set_integer("dither", 0);
    return song;
}

bool WriteSoundtrack(const std::string& songFile, std::uint64_t fromSample, std::uint64_t count,
                     int fd, std::string& error) {
    if (count > (0xFFFFFFFFu - 36u) / 4u) {
        error = "the soundtrack would be too long for a WAV file";
        return false;
    }
    std::unique_ptr<openmpt::module> song = LoadSong(songFile, error);
    if (!song) {
        return false;
    }
    auto writeFailed = [&] {
        error = std::string("cannot write the soundtrack to the temporary folder ") +
                TemporaryFolder() + ": " + std::strerror(errno);
        return false;
    };
    const auto header = WavHeader(static_cast<std::uint32_t>(count * 4));
    if (!WriteAll(fd, header.data(), header.size())) {
        return writeFailed();
    }
    std::vector<std::int16_t> chunk(ChunkFrames * 2);
    std::vector<unsigned char> bytes(ChunkFrames * 4);
    // Render from the start and drop what comes before the first frame: seeking is not
    // exact to the sample.
    std::uint64_t skip = fromSample;
    std::uint64_t left = count;
    try {
        while (skip + left > 0) {
            if (CaptureInterrupted()) {
                error = "interrupted";
                return false;
            }
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(ChunkFrames, skip + left));
            std::size_t got = song->read_interleaved_stereo(SoundtrackRate, want, chunk.data());
            // A song that stops early leaves silence, as the live player would.
            std::fill(chunk.begin() + static_cast<std::ptrdiff_t>(got * 2),
                      chunk.begin() + static_cast<std::ptrdiff_t>(want * 2), std::int16_t{0});
            std::size_t first = 0;
            if (skip > 0) {
                first = static_cast<std::size_t>(std::min<std::uint64_t>(skip, want));
                skip -= first;
            }
            const std::size_t keep = want - first;
            for (std::size_t i = first * 2; i < want * 2; ++i) {
                PutLe16(&bytes[i * 2], static_cast<std::uint16_t>(chunk[i]));
            }
            if (!WriteAll(fd, bytes.data() + first * 4, keep * 4)) {
                return writeFailed();
            }
            left -= keep;
        }
    } catch (const std::exception& e) {
        error = std::string("libopenmpt failed while rendering the soundtrack: ") + e.what();
        return false;
    }
    return true;
}
