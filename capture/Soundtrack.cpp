// The recording's soundtrack: the show's module rendered by libopenmpt from its
// beginning, looping as the live player loops it, cut to exactly the samples that
// belong to the recorded frames and written as a 16-bit stereo WAV file.
#include "capture/Capture.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <vector>

#include <libopenmpt/libopenmpt.hpp>

#include "audio/MusicPlayer.h"
#include "audio/SongFile.h"

static constexpr std::size_t ChunkFrames = 4096;

static void PutLe16(std::FILE* f, std::uint16_t v) {
    const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

static void PutLe32(std::FILE* f, std::uint32_t v) {
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

static void WriteWavHeader(std::FILE* f, std::uint32_t dataBytes) {
    std::fwrite("RIFF", 1, 4, f);
    PutLe32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    PutLe32(f, 16);
    PutLe16(f, 1); // PCM
    PutLe16(f, 2); // stereo
    PutLe32(f, SoundtrackRate);
    PutLe32(f, SoundtrackRate * 4);
    PutLe16(f, 4);
    PutLe16(f, 16);
    std::fwrite("data", 1, 4, f);
    PutLe32(f, dataBytes);
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
                     const std::string& wavFile, std::string& error) {
    if (count > (0xFFFFFFFFu - 36u) / 4u) {
        error = "the soundtrack would be too long for a WAV file";
        return false;
    }
    std::unique_ptr<openmpt::module> song = LoadSong(songFile, error);
    if (!song) {
        return false;
    }
    std::FILE* out = std::fopen(wavFile.c_str(), "wb");
    if (out == nullptr) {
        error = "cannot write the soundtrack to " + wavFile;
        return false;
    }
    WriteWavHeader(out, static_cast<std::uint32_t>(count * 4));
    std::vector<std::int16_t> chunk(ChunkFrames * 2);
    std::vector<unsigned char> bytes(ChunkFrames * 4);
    // Render from the start and drop what comes before the first frame: seeking is not
    // exact to the sample.
    std::uint64_t skip = fromSample;
    std::uint64_t left = count;
    bool ok = true;
    try {
        while (skip + left > 0) {
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
                const auto v = static_cast<std::uint16_t>(chunk[i]);
                bytes[i * 2] = static_cast<unsigned char>(v);
                bytes[i * 2 + 1] = static_cast<unsigned char>(v >> 8);
            }
            std::fwrite(bytes.data() + first * 4, 1, keep * 4, out);
            left -= keep;
        }
    } catch (const std::exception& e) {
        error = std::string("libopenmpt failed while rendering the soundtrack: ") + e.what();
        ok = false;
    }
    if (std::fflush(out) != 0 || std::ferror(out)) {
        error = "cannot write the soundtrack to " + wavFile;
        ok = false;
    }
    if (std::fclose(out) != 0 && ok) {
        error = "cannot write the soundtrack to " + wavFile;
        ok = false;
    }
    return ok;
}
