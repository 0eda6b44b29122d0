// Reading a module file: the file is taken whole into memory, checked against the
// formats the decoder knows, decoded, and set to loop for ever.
#include "audio/SongFile.h"

#include "audio/MusicPlayer.h"
#include "platform/FileAccess.h"

#include <cstdio>
#include <new>
#include <ostream>
#include <streambuf>
#include <vector>

// Larger than any tracker module; a bigger file is not one we mean to play.
static constexpr std::uint64_t MaxSongBytes = 256u * 1024u * 1024u;

// The decoder reports warnings to a log; the show logs nothing.
class DiscardBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

static std::ostream& QuietLog() {
    // Modules keep a reference to their log for life, and may outlive every static
    // destructor when the program ends from inside a frame: never destroyed.
    static std::ostream* const log = new std::ostream(new DiscardBuffer);
    return *log;
}

// Reads the whole of a regular file into `data`.
static int ReadWholeFile(const char* name, std::vector<unsigned char>& data) {
    std::FILE* file = nullptr;
    std::uint64_t size = 0;
    switch (OpenRegularFile(name, &file, &size)) {
    case FileOpenResult::Opened:
        break;
    case FileOpenResult::Missing:
        return FMOD_ERR_FILE_NOTFOUND;
    case FileOpenResult::NotRegular:
    case FileOpenResult::Refused:
        return FMOD_ERR_FILE_BAD;
    }
    int code = FMOD_ERR_NONE;
    if (size > MaxSongBytes) {
        code = FMOD_ERR_FILE_BAD;
    } else {
        try {
            data.resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            code = FMOD_ERR_MEMORY;
        }
        // A short read is a read error, or the file shrank while we read it.
        if (code == FMOD_ERR_NONE && !data.empty() &&
            std::fread(data.data(), 1, data.size(), file) != data.size()) {
            code = FMOD_ERR_FILE_BAD;
        }
    }
    std::fclose(file);
    return code;
}

int DecodeSong(const unsigned char* data, std::size_t size,
               std::unique_ptr<openmpt::module>& module) {
    if (data == nullptr || size == 0) {
        // Nothing to recognise.
        return FMOD_ERR_FILE_FORMAT;
    }
    try {
        if (openmpt::probe_file_header(openmpt::probe_file_header_flags_default2, data, size,
                                       size) != openmpt::probe_file_header_result_success) {
            // Not a known format, or too short to tell even with the whole file.
            return FMOD_ERR_FILE_FORMAT;
        }
        auto decoded = std::make_unique<openmpt::module>(data, size, QuietLog());
        decoded->set_repeat_count(-1);
        module = std::move(decoded);
        return FMOD_ERR_NONE;
    } catch (const std::bad_alloc&) {
        return FMOD_ERR_MEMORY;
    } catch (...) {
        // The header looked right but the decoder could not make sense of the rest.
        return FMOD_ERR_FILE_BAD;
    }
}

int OpenSongFile(const char* name, std::unique_ptr<openmpt::module>& module) {
    if (name == nullptr) {
        return FMOD_ERR_INVALID_PARAM;
    }
    std::vector<unsigned char> data;
    const int code = ReadWholeFile(name, data);
    if (code != FMOD_ERR_NONE) {
        return code;
    }
    return DecodeSong(data.data(), data.size(), module);
}
