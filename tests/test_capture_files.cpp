// The recorder's files on disk: written whole or not at all, never at the expense of
// what the final name held, the soundtrack with no name, write errors that say why;
// and standard streams that are open before anything else is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture/Capture.h"
#include "platform/StandardStreams.h"

namespace {

// A fresh folder, removed with everything in it at the end.
struct ScratchFolder {
    std::string Path;
    ScratchFolder() {
        char pattern[] = "/tmp/capture-files-XXXXXX";
        Path = mkdtemp(pattern);
    }
    ~ScratchFolder() { std::system(("rm -rf '" + Path + "'").c_str()); }
    std::string operator/(const std::string& name) const { return Path + "/" + name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        if (DIR* dir = opendir(Path.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                    names.emplace_back(entry->d_name);
                }
            }
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool WriteText(int fd, const std::string& text) {
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return close(fd) == 0 && ok;
}

} // namespace

TEST(CaptureFiles, TemporaryNameKeepsTheFolderAndTheExtension) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"x.mp4", ".x.partial.mp4"},
        {"/a/b.c/x.mp4", "/a/b.c/.x.partial.mp4"},
        {"/a/b.c/notes", "/a/b.c/.notes.partial"},
        {"file:x.mp4", ".file:x.partial.mp4"},
        {"-y", ".-y.partial"},
        {".hidden", "..hidden.partial"},
        {"trailing.", ".trailing..partial"},
    };
    for (const auto& [finalName, partial] : cases) {
        EXPECT_EQ(PartialPathFor(finalName), partial) << finalName;
    }
    EXPECT_TRUE(HasFileExtension("/a/x.mp4"));
    EXPECT_TRUE(HasFileExtension("file:x.mkv"));
    for (const char* name : {"notes", "/a.b/notes", ".hidden", "pipe:1", "trailing."}) {
        EXPECT_FALSE(HasFileExtension(name)) << name;
    }
}

TEST(CaptureFiles, FinalNameChangesOnlyByACommittedRegularFile) {
    ScratchFolder folder;
    const std::string target = folder / "video.mp4";
    std::string error;

    // Given up: the file that was there stays as it was, the temporary one goes.
    Put(target, "older");
    {
        PartialFile file;
        ASSERT_TRUE(WriteText(file.Create(target, "the video", error), "half")) << error;
        EXPECT_EQ(file.TemporaryPath(), folder / ".video.partial.mp4");
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"video.mp4"});
    EXPECT_EQ(Contents(target), "older");

    // A leftover of a killed run is replaced; the committed file replaces the older one.
    Put(folder / ".video.partial.mp4", "leftover");
    PartialFile file;
    ASSERT_TRUE(WriteText(file.Create(target, "the video", error), "new")) << error;
    ASSERT_TRUE(file.Commit(error)) << error;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"video.mp4"});
    EXPECT_EQ(Contents(target), "new");
}

TEST(CaptureFiles, SoundtrackFileHasNoNameInTheTemporaryFolder) {
    ScratchFolder folder;
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    setenv("TMPDIR", folder.Path.c_str(), 1);
    std::string error;
    const int fd = MakeSoundtrackFile(error);
    saved != nullptr ? setenv("TMPDIR", savedValue.c_str(), 1) : unsetenv("TMPDIR");
    ASSERT_GE(fd, 0) << error;
    EXPECT_TRUE(folder.Names().empty());
    // Still a file ffmpeg can open from the start through /dev/fd.
    ASSERT_EQ(write(fd, "RIFF", 4), 4);
    EXPECT_EQ(Contents("/dev/fd/" + std::to_string(fd)), "RIFF");
    EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC) << "no other child may inherit it";
    close(fd);
}

TEST(CaptureFiles, StillThatCannotBeWrittenWholeIsRemovedAndSaysWhy) {
    ScratchFolder folder;
    const std::string still = folder / "still-00000.png";
    Put(still, "older still");
    // Noise does not compress: the file comes out near 12 KB.
    std::vector<std::uint8_t> noise(64 * 64 * 4);
    std::mt19937 random(7);
    for (std::uint8_t& byte : noise) {
        byte = static_cast<std::uint8_t>(random());
    }
    // A file size limit fails the writes the way a full disk does, without root.
    struct rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 2000;
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool written = WritePngFile(still, noise.data(), 64, 64, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"still-00000.png"});
    EXPECT_EQ(Contents(still), "older still");

    ASSERT_TRUE(WritePngFile(still, noise.data(), 64, 64, error)) << error;
    EXPECT_EQ(Contents(still).substr(1, 3), "PNG");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"still-00000.png"});
}

// In a child, as closing standard streams in the test program would lose its output.
TEST(CaptureFiles, ClosedStandardStreamsAreOpenedOnDevNull) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int keep = dup(0);
        close(1);
        close(2);
        KeepStandardStreamsOpen();
        int failed = 0;
        struct stat null = {};
        stat("/dev/null", &null);
        for (int fd : {1, 2}) {
            struct stat info = {};
            if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode) || info.st_rdev != null.st_rdev ||
                (fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDWR) {
                failed |= 1 << fd;
            }
        }
        struct stat before = {};
        struct stat after = {};
        fstat(keep, &before);
        fstat(0, &after);
        if (before.st_ino != after.st_ino || before.st_dev != after.st_dev) {
            failed |= 1; // an open descriptor is left as it is
        }
        // The next file opened must not become a standard stream.
        const int next = open("/dev/zero", O_RDONLY);
        if (next <= 2) {
            failed |= 8;
        }
        _exit(failed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "bit 0: stdin changed, 1: stdout, 2: stderr, 3: reused";
}
