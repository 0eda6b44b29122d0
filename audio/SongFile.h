// Reading a module file from disk into a libopenmpt module that loops for ever.
#pragma once

#include <memory>

#include <libopenmpt/libopenmpt.hpp>

// Opens the module file `name`. Returns FMOD_ERR_NONE and sets `module`, or the error
// code: FMOD_ERR_FILE_NOTFOUND when there is no such file, FMOD_ERR_FILE_FORMAT when
// it is not a module format the decoder knows, FMOD_ERR_FILE_BAD when it cannot be read
// or decoded, FMOD_ERR_MEMORY when it does not fit in memory.
int OpenSongFile(const char* name, std::unique_ptr<openmpt::module>& module);

// Decodes a module held in memory, with the same codes as OpenSongFile.
int DecodeSong(const unsigned char* data, std::size_t size,
               std::unique_ptr<openmpt::module>& module);
