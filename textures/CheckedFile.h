// File access for the picture readers: checked reads that raise "Read beyond end of
// file" for headers, plain counted reads for data, and size and position queries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Reads exactly count bytes or raises EInOutError("Read beyond end of file").
void ReadChecked(std::FILE* file, void* buffer, std::size_t count);
// Reads up to count bytes and returns how many arrived.
std::size_t ReadSome(std::FILE* file, void* buffer, std::size_t count);
// Bytes from the current position to the end of the file; -1 when unknown.
std::int64_t BytesLeft(std::FILE* file);
// Moves to an absolute offset; false when the offset lies beyond the end of the file.
bool SeekTo(std::FILE* file, std::int64_t offset);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens a regular file read-only; null when it cannot be opened or is anything else (a
// named pipe, a folder, a device), without waiting on it.
FileHandle OpenForReading(const std::string& fileName);

// Little-endian fields of a header held in memory.
inline std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
