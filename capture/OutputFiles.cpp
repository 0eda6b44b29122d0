// The recorder's own files, the video and the stills, are written beside their final
// names and renamed into place once complete. What the final name held before is never
// opened, truncated or removed unless a finished file of this run replaces it, and then
// only if it was a regular file: a device node, a FIFO or a folder there is refused
// before anything is done.
//
// The folder may be shared with other users and other runs. Everything is done relative
// to the folder opened once, the file in progress is reached only through the descriptor
// of the file this run created, and its name is trusted only while it still leads to that
// file: another user who swaps it for a link gets nothing written through the link.
#include "capture/Capture.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

// ".larkspur-XXXXXX.partial": short, so that any final name the file system takes works.
static constexpr char TemporaryPrefix[] = ".larkspur-";
static constexpr char TemporarySuffix[] = ".partial";
static constexpr std::size_t TemporaryRandomLength = 6;
static constexpr char TemporaryLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";

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

static bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` in `folder` is, without following a link, the file open as `fd`.
static bool NameIsFile(int folder, const std::string& name, int fd) {
    struct stat byName = {};
    struct stat open = {};
    return fstatat(folder, name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 &&
           fstat(fd, &open) == 0 && SameFile(byName, open);
}

// The folder part and the last part of a path ("a/b/" gives "a" and "b"; "b" gives "."
// and "b"; "/" gives "/" and "").
static void SplitPath(std::string path, std::string& parent, std::string& base) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const std::size_t slash = path.rfind('/');
    if (path == "/") {
        parent = "/";
        base.clear();
    } else if (slash == std::string::npos) {
        parent = ".";
        base = path;
    } else {
        parent = slash == 0 ? "/" : path.substr(0, slash);
        base = path.substr(slash + 1);
    }
}

static bool TrustedLinkOwner(uid_t owner) {
    return owner == geteuid() || owner == 0;
}

// `base` in `parent` as a folder. A symbolic link there is followed only when its owner
// is trusted, and the text followed is read from that very link, so that it cannot be
// swapped between the look and the use.
static int OpenFolderIn(int parent, const std::string& base, std::string& why) {
    const int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    int fd = openat(parent, base.c_str(), flags | O_NOFOLLOW);
    if (fd >= 0 || (errno != ENOTDIR && errno != ELOOP)) {
        if (fd < 0) {
            why = std::strerror(errno);
        }
        return fd;
    }
    const int link = openat(parent, base.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    struct stat info = {};
    if (link < 0 || fstat(link, &info) != 0 || !S_ISLNK(info.st_mode)) {
        why = "it is not a folder";
    } else if (!TrustedLinkOwner(info.st_uid)) {
        why = "it is a symbolic link owned by another user";
    } else {
        char target[4096];
        const ssize_t length = readlinkat(link, "", target, sizeof target);
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
            why = "cannot read the symbolic link";
        } else {
            target[length] = '\0';
            fd = openat(parent, target, flags);
            if (fd < 0) {
                why = errno == ENOTDIR ? "it is not a folder" : std::strerror(errno);
            }
        }
    }
    if (link >= 0) {
        close(link);
    }
    return fd;
}

int OpenOutputFolder(const std::string& path, bool make, bool& made, std::string& why) {
    made = false;
    std::string parentPath;
    std::string base;
    SplitPath(path, parentPath, base);
    const int parent = open(parentPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) {
        why = std::strerror(errno);
        return -1;
    }
    if (base.empty()) {
        return parent;
    }
    if (make) {
        if (mkdirat(parent, base.c_str(), 0755) == 0) {
            made = true;
        } else if (errno != EEXIST) {
            why = std::strerror(errno);
            close(parent);
            return -1;
        }
    }
    const int fd = OpenFolderIn(parent, base, why);
    close(parent);
    if (fd >= 0 && faccessat(fd, ".", W_OK, AT_EACCESS) != 0) {
        why = std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

void RemoveMadeFolder(const std::string& path, int folder) {
    std::string parentPath;
    std::string base;
    SplitPath(path, parentPath, base);
    const int parent = open(parentPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) {
        return;
    }
    // Only that folder, and only when empty: rmdir refuses any other.
    if (NameIsFile(parent, base, folder)) {
        unlinkat(parent, base.c_str(), AT_REMOVEDIR);
    }
    close(parent);
}

bool IsTemporaryName(const std::string& name) {
    const std::size_t prefix = sizeof TemporaryPrefix - 1;
    const std::size_t suffix = sizeof TemporarySuffix - 1;
    if (name.size() != prefix + TemporaryRandomLength + suffix ||
        name.compare(0, prefix, TemporaryPrefix) != 0 ||
        name.compare(prefix + TemporaryRandomLength, suffix, TemporarySuffix) != 0) {
        return false;
    }
    for (std::size_t i = prefix; i < prefix + TemporaryRandomLength; ++i) {
        if (name[i] == '\0' || std::strchr(TemporaryLetters, name[i]) == nullptr) {
            return false;
        }
    }
    return true;
}

static std::string RandomTemporaryName() {
    unsigned char random[TemporaryRandomLength] = {};
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // Only the exclusive creation needs the name to be new, and it checks.
        for (unsigned char& r : random) {
            r = static_cast<unsigned char>(std::rand());
        }
    }
    std::string name = TemporaryPrefix;
    for (unsigned char r : random) {
        name += TemporaryLetters[r % (sizeof TemporaryLetters - 1)];
    }
    return name + TemporarySuffix;
}

// Left-overs of killed runs: our own temporary files that no live run holds locked (a
// run holds its lock until it ends, and so does an ffmpeg that outlives a killed one).
void RemoveLeftoverFiles(int folder) {
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) {
            close(listing);
        }
        return;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat info = {};
        if (!IsTemporaryName(name) ||
            fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) || info.st_uid != geteuid()) {
            continue;
        }
        const int fd =
            openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && NameIsFile(folder, name, fd)) {
            unlinkat(folder, name.c_str(), 0);
        }
        close(fd);
    }
    closedir(dir);
}

// A new file under a temporary name of its own, locked before any other run can see it:
// made without a name and then linked in where the file system allows, otherwise created
// exclusively and locked at once (a left-over sweep that wins that short race only makes
// this run fail at its end, as the name no longer leads to its file).
static int CreateLockedFile(int folder, std::string& name) {
    int unnamed = openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (unnamed >= 0 && flock(unnamed, LOCK_EX | LOCK_NB) != 0) {
        close(unnamed);
        unnamed = -1;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(unnamed);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = RandomTemporaryName();
        if (unnamed >= 0) {
            if (linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                return unnamed;
            }
            if (errno == EEXIST) {
                continue;
            }
            close(unnamed);
            unnamed = -1;
        }
        const int fd =
            openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
        }
    }
    if (unnamed >= 0) {
        close(unnamed);
    }
    errno = EEXIST;
    return -1;
}

std::string NonRegularFileKind(int folder, const std::string& name) {
    struct stat info = {};
    if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return {};
    }
    return KindOf(info.st_mode);
}

int PartialFile::Create(int folder, const std::string& finalName, const std::string& name,
                        std::string& error) {
    Discard();
    const std::string kind = NonRegularFileKind(folder, finalName);
    if (!kind.empty()) {
        error = "cannot write " + name + ": it is " + kind + ", not a regular file";
        return -1;
    }
    RemoveLeftoverFiles(folder);
    Folder = fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (Folder >= 0) {
        Fd = CreateLockedFile(Folder, Temporary);
    }
    // The caller's copy is closed as it likes; this one keeps the lock and the identity.
    const int copy = Fd >= 0 ? fcntl(Fd, F_DUPFD_CLOEXEC, 0) : -1;
    if (copy < 0) {
        error = "cannot write " + name + ": " + std::strerror(errno);
        Discard();
        return -1;
    }
    Final = finalName;
    Name = name;
    GuardFileInProgress(Folder, Temporary.c_str(), Fd);
    return copy;
}

int PartialFile::Create(const std::string& finalPath, const std::string& name, std::string& error) {
    std::string parent;
    std::string base;
    SplitPath(finalPath, parent, base);
    bool made = false;
    std::string why;
    const int folder = OpenOutputFolder(parent, false, made, why);
    if (folder < 0) {
        error = "cannot write " + name + " (in " + PrintableName(parent) + "): " + why;
        return -1;
    }
    const int fd = Create(folder, base, name, error);
    close(folder);
    return fd;
}

bool PartialFile::Commit(std::string& error) {
    if (Fd < 0) {
        error = "cannot write " + Name + ": nothing was written";
        return false;
    }
    if (!NameIsFile(Folder, Temporary, Fd)) {
        // Not ours any more: left where it is, and nothing renamed.
        error = "cannot write " + Name + ": its temporary file " + PrintableName(Temporary) +
                " was removed or replaced while it was written";
        Release();
        return false;
    }
    // Whatever came to the final name during the recording is kept to the same rule.
    const std::string kind = NonRegularFileKind(Folder, Final);
    if (!kind.empty()) {
        error = "cannot write " + Name + ": it is now " + kind + ", not a regular file";
        Discard();
        return false;
    }
    if (renameat(Folder, Temporary.c_str(), Folder, Final.c_str()) != 0) {
        error = "cannot write " + Name + ": " + std::strerror(errno);
        Discard();
        return false;
    }
    const bool ours = NameIsFile(Folder, Final, Fd);
    Release();
    if (!ours) {
        error = "cannot write " + Name + ": its temporary file was replaced as it was renamed";
        return false;
    }
    return true;
}

void PartialFile::Discard() {
    if (Fd >= 0 && NameIsFile(Folder, Temporary, Fd)) {
        GuardFileInProgress(-1, nullptr, -1);
        unlinkat(Folder, Temporary.c_str(), 0);
    }
    Release();
}

void PartialFile::Release() {
    GuardFileInProgress(-1, nullptr, -1);
    if (Fd >= 0) {
        close(Fd);
    }
    if (Folder >= 0) {
        close(Folder);
    }
    Fd = -1;
    Folder = -1;
}
