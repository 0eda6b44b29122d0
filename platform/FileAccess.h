// Opening the files the show reads: regular files only, read-only, and never waiting on
// something that is not one (a pipe, a device, a folder). The one opener of the show, its
// recorder and the PNG bridge, so it is a small library of its own (platform/CMakeLists.txt).
#pragma once

#include <cstdint>
#include <cstdio>

enum class FileOpenResult {
    Opened,
    // No such file, or a folder on its path does not exist.
    Missing,
    // It exists but is not a regular file: a folder, a pipe, a device.
    NotRegular,
    // It exists but cannot be read.
    Refused,
};

// Opens `name` as a binary stream for reading. On Opened, *stream is the stream (closed
// with std::fclose) and *size the file's length in bytes; otherwise both are left alone,
// and on Missing and Refused errno says why.
FileOpenResult OpenRegularFile(const char* name, std::FILE** stream, std::uint64_t* size);

// The stream's position, and moving it, with 64-bit offsets wherever the C library's own
// are narrower; -1 and false on failure.
std::int64_t StreamTell(std::FILE* stream);
bool StreamSeek(std::FILE* stream, std::int64_t offset, int origin);
