// The recorder's own files, the video and the stills, are written beside their final
// names and renamed into place once complete. What the final name held before is never
// opened, truncated or removed unless a finished file of this run replaces it, and then
// only if it was a regular file: a device node, a FIFO or a folder there is refused
// before anything is done.
#include "capture/Capture.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static std::size_t BaseNameStart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// Where the extension's dot is, or npos; a leading dot (".hidden") starts no extension.
static std::size_t ExtensionDot(const std::string& path) {
    const std::size_t base = BaseNameStart(path);
    const std::size_t dot = path.rfind('.');
    return dot != std::string::npos && dot > base && dot + 1 < path.size() ? dot
                                                                           : std::string::npos;
}

bool HasFileExtension(const std::string& path) {
    return ExtensionDot(path) != std::string::npos;
}

std::string PartialPathFor(const std::string& finalPath) {
    const std::size_t base = BaseNameStart(finalPath);
    const std::size_t dot = ExtensionDot(finalPath);
    const std::string stem =
        finalPath.substr(base, dot == std::string::npos ? std::string::npos : dot - base);
    const std::string extension = dot == std::string::npos ? "" : finalPath.substr(dot);
    // The extension stays last: ffmpeg tells the container by it.
    return finalPath.substr(0, base) + "." + stem + ".partial" + extension;
}

static std::string KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return {};
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISLNK(mode)) {
        return "a symbolic link";
    }
    return "not a regular file";
}

std::string NonRegularFileKind(const std::string& path) {
    struct stat info = {};
    if (lstat(path.c_str(), &info) != 0) {
        return {};
    }
    return KindOf(info.st_mode);
}

int PartialFile::Create(const std::string& finalPath, const std::string& name, std::string& error) {
    Discard();
    const std::string kind = NonRegularFileKind(finalPath);
    if (!kind.empty()) {
        error = "cannot write " + name + ": it is " + kind + ", not a regular file";
        return -1;
    }
    const std::string temporary = PartialPathFor(finalPath);
    // A regular file there is what a killed run left behind.
    struct stat info = {};
    if (lstat(temporary.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            error = "cannot write " + name + ": its temporary name " + temporary + " is " +
                    KindOf(info.st_mode);
            return -1;
        }
        unlink(temporary.c_str());
    }
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot write " + name + ": " + std::strerror(errno);
        return -1;
    }
    Final = finalPath;
    Temporary = temporary;
    Name = name;
    Owned = true;
    GuardFileInProgress(Temporary.c_str());
    return fd;
}

bool PartialFile::Commit(std::string& error) {
    if (!Owned) {
        error = "cannot write " + Name + ": nothing was written";
        return false;
    }
    // Whatever came to the final name during the recording is kept to the same rule.
    const std::string kind = NonRegularFileKind(Final);
    if (!kind.empty()) {
        error = "cannot write " + Name + ": it is now " + kind + ", not a regular file";
        Discard();
        return false;
    }
    if (rename(Temporary.c_str(), Final.c_str()) != 0) {
        error = "cannot write " + Name + ": " + std::strerror(errno);
        Discard();
        return false;
    }
    GuardFileInProgress(nullptr);
    Owned = false;
    return true;
}

void PartialFile::Discard() {
    if (!Owned) {
        return;
    }
    GuardFileInProgress(nullptr);
    unlink(Temporary.c_str());
    Owned = false;
}
