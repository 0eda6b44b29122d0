// Opening the files the show reads, over CreateFileA. A folder cannot be opened without
// FILE_FLAG_BACKUP_SEMANTICS (it is refused as unreadable), and opening a pipe or a
// device returns at once; their type then refuses them, so nothing here waits.
#include "platform/FileAccess.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>

#include "platform/Win32.h"

FileOpenResult OpenRegularFile(const char* name, std::FILE** stream, std::uint64_t* size) {
    if (name == nullptr || stream == nullptr || size == nullptr) {
        errno = EINVAL;
        return FileOpenResult::Refused;
    }
    // No name names no file, as on every other system.
    if (name[0] == '\0') {
        errno = ENOENT;
        return FileOpenResult::Missing;
    }
    HANDLE handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            errno = ENOENT;
            return FileOpenResult::Missing;
        }
        errno = EACCES;
        return FileOpenResult::Refused;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        CloseHandle(handle);
        return FileOpenResult::NotRegular;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
        return FileOpenResult::Refused;
    }
    // From here the descriptor owns the handle, and then the stream owns the descriptor.
    std::FILE* file = _fdopen(fd, "rb");
    if (file == nullptr) {
        _close(fd);
        errno = EMFILE;
        return FileOpenResult::Refused;
    }
    *stream = file;
    *size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return FileOpenResult::Opened;
}

std::int64_t StreamTell(std::FILE* stream) {
    return _ftelli64(stream);
}

bool StreamSeek(std::FILE* stream, std::int64_t offset, int origin) {
    return _fseeki64(stream, offset, origin) == 0;
}
