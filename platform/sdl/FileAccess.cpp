// Opening the files the show reads, over open(2) and fstat(2).
#include "platform/FileAccess.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static FileOpenResult Failed() {
    return errno == ENOENT || errno == ENOTDIR ? FileOpenResult::Missing : FileOpenResult::Refused;
}

FileOpenResult OpenRegularFile(const char* name, std::FILE** stream, std::uint64_t* size) {
    if (name == nullptr || stream == nullptr || size == nullptr) {
        errno = EINVAL;
        return FileOpenResult::Refused;
    }
    // Looked at before it is opened: opening a device can itself do something.
    struct stat info {};
    if (::stat(name, &info) != 0) {
        return Failed();
    }
    if (!S_ISREG(info.st_mode)) {
        return FileOpenResult::NotRegular;
    }
    // Non-blocking, so that a named pipe put in the file's place since the look is
    // refused at once instead of waiting for a writer; the flag changes nothing for a
    // regular file.
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return Failed();
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return FileOpenResult::NotRegular;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return FileOpenResult::Refused;
    }
    *stream = file;
    *size = static_cast<std::uint64_t>(info.st_size);
    return FileOpenResult::Opened;
}

std::int64_t StreamTell(std::FILE* stream) {
    return static_cast<std::int64_t>(::ftello(stream));
}

bool StreamSeek(std::FILE* stream, std::int64_t offset, int origin) {
    return ::fseeko(stream, static_cast<off_t>(offset), origin) == 0;
}
