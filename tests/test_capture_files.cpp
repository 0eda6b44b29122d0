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

#include "app/Scene.h"
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
    int Open() const { return open(Path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); }
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

TEST(CaptureFiles, TemporaryNameIsShortAndTheContainerComesFromTheFinalName) {
    ScratchFolder folder;
    std::string error;
    PartialFile file;
    // NAME_MAX: the temporary name must not grow with the final one.
    const std::string longest(255, 'v');
    ASSERT_TRUE(WriteText(file.Create(folder / longest, "the video", error), "whole")) << error;
    EXPECT_TRUE(IsTemporaryName(file.TemporaryName())) << file.TemporaryName();
    ASSERT_TRUE(file.Commit(error)) << error;
    EXPECT_EQ(Contents(folder / longest), "whole");
    const std::vector<std::pair<std::string, std::string>> containers = {
        {"/a/x.mkv", "matroska"}, {"X.MKV", "matroska"}, {"x.mov", "mov"}, {"x.mp4", "mp4"},
        {"notes", "mp4"},         {"pipe:1", "mp4"},     {".mkv", "mp4"},  {"/a.mkv/x", "mp4"},
    };
    for (const auto& [name, container] : containers) {
        EXPECT_EQ(VideoContainerFor(name), container) << name;
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
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{file.TemporaryName(), "video.mp4"}));
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"video.mp4"});
    EXPECT_EQ(Contents(target), "older");

    // The committed file replaces the older one.
    PartialFile file;
    ASSERT_TRUE(WriteText(file.Create(target, "the video", error), "new")) << error;
    ASSERT_TRUE(file.Commit(error)) << error;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"video.mp4"});
    EXPECT_EQ(Contents(target), "new");
}

// A left-over is removed only when it is this user's and no live run holds it.
TEST(CaptureFiles, LeftoversOfDeadRunsGoAndLiveRunsFilesStay) {
    ScratchFolder folder;
    const int dir = folder.Open();
    std::string error;
    PartialFile live;
    ASSERT_TRUE(WriteText(live.Create(dir, "first.mp4", "the first video", error), "")) << error;
    const std::vector<std::string> kept = {".larkspur-abc12.partial", "notes"};
    for (const std::string& name : kept) {
        Put(folder / name, "kept");
    }
    Put(folder / ".larkspur-dead00.partial", "left over");
    mkdir((folder / ".larkspur-dir000.partial").c_str(), 0755);
    const bool root = geteuid() == 0;
    if (root) {
        Put(folder / ".larkspur-other0.partial", "another user's");
        ASSERT_EQ(chown((folder / ".larkspur-other0.partial").c_str(), 65534, 65534), 0);
    }

    PartialFile second;
    ASSERT_TRUE(WriteText(second.Create(dir, "second.mp4", "the second video", error), ""))
        << error;
    std::vector<std::string> expected = kept;
    expected.insert(expected.end(),
                    {".larkspur-dir000.partial", live.TemporaryName(), second.TemporaryName()});
    if (root) {
        expected.push_back(".larkspur-other0.partial");
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Names(), expected);
    EXPECT_TRUE(live.Commit(error)) << error;
    close(dir);
}

TEST(CaptureFiles, MessagesShowNamesOnOneLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\nb\tc\rd \\", "a\\nb\\tc\\x0Dd \\\\"},
        {"caf\xC3\xA9 \xF0\x9F\x8E\xB5", "caf\xC3\xA9 \xF0\x9F\x8E\xB5"},
        {"bad\xFF\xC3", "bad\\xFF\\xC3"},
        // Overlong, a surrogate, past U+10FFFF, and a C1 control (CSI).
        {"\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xC2\x9B",
         "\\xC0\\xAF\\xED\\xA0\\x80\\xF4\\x90\\x80\\x80\\xC2\\x9B"},
    };
    for (const auto& [name, shown] : cases) {
        EXPECT_EQ(PrintableName(name), shown);
    }
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
    const int dir = folder.Open();
    const bool written = WritePngFile(dir, "still-00000.png", still, noise.data(), 64, 64, error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"still-00000.png"});
    EXPECT_EQ(Contents(still), "older still");

    ASSERT_TRUE(WritePngFile(dir, "still-00000.png", still, noise.data(), 64, 64, error)) << error;
    close(dir);
    EXPECT_EQ(Contents(still).substr(1, 3), "PNG");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"still-00000.png"});
}

// In a child, as closing standard streams in the test program would lose its output.
// The media check names the first file that cannot be read, with why, and waits on none.
TEST(CaptureFiles, MediaCheckNamesTheFirstUnreadableFileAndWhy) {
    ScratchFolder folder;
    char previous[4096] = {};
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(mkdir((folder / "data").c_str(), 0700), 0);
    for (const char* name : ShowDataFiles) {
        std::ofstream(folder / name) << "x";
    }
    ASSERT_EQ(chdir(folder.Path.c_str()), 0);
    const std::string allThere = CheckShowData();
    const std::string song = ShowDataFiles[SongDataFile];
    const std::string picture = ShowDataFiles[3];
    unlink(song.c_str());
    mkfifo(song.c_str(), 0600);
    const std::string fifo = CheckShowData();
    unlink(picture.c_str());
    const std::string missing = CheckShowData();
    std::ofstream(picture) << "x";
    chmod(picture.c_str(), 0);
    const bool rootReadsAnything = access(picture.c_str(), R_OK) == 0;
    const std::string locked = CheckShowData();
    ASSERT_EQ(chdir(previous), 0);

    EXPECT_EQ(allThere, "");
    EXPECT_EQ(fifo.rfind("cannot read " + song + " (it is not a regular file;", 0), 0u) << fifo;
    EXPECT_EQ(missing.rfind("cannot read " + picture + " (No such file or directory;", 0), 0u)
        << missing;
    if (!rootReadsAnything) {
        EXPECT_EQ(locked.rfind("cannot read " + picture + " (Permission denied;", 0), 0u) << locked;
    }
}

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
