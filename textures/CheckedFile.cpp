// File access for the picture readers.
#include "textures/CheckedFile.h"

#include "platform/FileAccess.h"
#include "textures/ImageErrors.h"

void ReadChecked(std::FILE* file, void* buffer, std::size_t count) {
    if (ReadSome(file, buffer, count) != count) {
        throw EInOutError(ReadBeyondEndOfFile);
    }
}

std::size_t ReadSome(std::FILE* file, void* buffer, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    return std::fread(buffer, 1, count, file);
}

std::int64_t BytesLeft(std::FILE* file) {
    const std::int64_t here = StreamTell(file);
    if (here < 0 || !StreamSeek(file, 0, SEEK_END)) {
        return -1;
    }
    const std::int64_t end = StreamTell(file);
    if (!StreamSeek(file, here, SEEK_SET) || end < here) {
        return -1;
    }
    return end - here;
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
    if (offset < 0 || !StreamSeek(file, 0, SEEK_END)) {
        return false;
    }
    const std::int64_t end = StreamTell(file);
    if (end < 0 || offset > end) {
        return false;
    }
    return StreamSeek(file, offset, SEEK_SET);
}

FileHandle OpenForReading(const std::string& fileName) {
    std::FILE* file = nullptr;
    std::uint64_t size = 0;
    if (OpenRegularFile(fileName.c_str(), &file, &size) != FileOpenResult::Opened) {
        return nullptr;
    }
    return FileHandle(file);
}
