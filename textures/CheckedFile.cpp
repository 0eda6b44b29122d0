// File access for the picture readers.
#include "textures/CheckedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) {
        return -1;
    }
    const off_t end = ftello(file);
    if (fseeko(file, here, SEEK_SET) != 0 || end < here) {
        return -1;
    }
    return static_cast<std::int64_t>(end - here);
}

bool SeekTo(std::FILE* file, std::int64_t offset) {
    if (offset < 0 || fseeko(file, 0, SEEK_END) != 0) {
        return false;
    }
    const off_t end = ftello(file);
    if (end < 0 || offset > static_cast<std::int64_t>(end)) {
        return false;
    }
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

FileHandle OpenForReading(const std::string& fileName) {
    // Non-blocking, so that a named pipe in a picture's place is refused at once instead
    // of waiting for a writer; the flag changes nothing for a regular file.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
    }
    return FileHandle(file);
}
