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

TEST(CaptureFiles, TemporaryNameIsShortAndAnyFinalNameTheFolderTakesWorks) {
    ScratchFolder folder;
    const int dir = folder.Open();
    std::string error;
    // NAME_MAX: the temporary name must not grow with the final one.
    for (std::size_t length : {std::size_t{1}, std::size_t{250}, std::size_t{255}}) {
        const std::string name(length, 'v');
        PartialFile file;
        ASSERT_TRUE(WriteText(file.Create(dir, name, "the video", error), "whole")) << error;
        EXPECT_TRUE(IsTemporaryName(file.TemporaryName())) << file.TemporaryName();
        EXPECT_LE(file.TemporaryName().size(), 24u);
        ASSERT_TRUE(file.Commit(error)) << error;
        EXPECT_EQ(Contents(folder / name), "whole");
        unlink((folder / name).c_str());
    }
    close(dir);
    for (const char* name : {".larkspur-abc12.partial", ".larkspur-abc1234.partial",
                             ".larkspur-ABC123.partial", ".larkspur-abc123.partia", "x.mp4"}) {
        EXPECT_FALSE(IsTemporaryName(name)) << name;
    }
    // The container comes from the final name: the temporary one has no extension.
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

// Another user in a shared folder swaps the file in progress for a link to a file of the
// victim's: nothing is written through the link and nothing renamed, and the link, not
// being this run's, stays.
TEST(CaptureFiles, TemporaryNameSwappedForALinkIsNeitherFollowedNorRenamed) {
    ScratchFolder folder;
    Put(folder / "victim", "victim's");
    Put(folder / "video.mp4", "older");
    std::string error;
    for (bool writeFirst : {false, true}) {
        PartialFile file;
        const int fd = file.Create(folder / "video.mp4", "the video", error);
        ASSERT_GE(fd, 0) << error;
        const std::string temporary = folder / file.TemporaryName();
        if (writeFirst) {
            ASSERT_TRUE(WriteText(dup(fd), "new video"));
        }
        ASSERT_EQ(unlink(temporary.c_str()), 0);
        ASSERT_EQ(symlink((folder / "victim").c_str(), temporary.c_str()), 0);
        // What ffmpeg is given, reopened as it reopens it.
        Put("/dev/fd/" + std::to_string(fd), "new video");
        close(fd);
        EXPECT_FALSE(file.Commit(error));
        EXPECT_NE(error.find("removed or replaced"), std::string::npos) << error;
        EXPECT_EQ(Contents(folder / "victim"), "victim's");
        EXPECT_EQ(Contents(folder / "video.mp4"), "older");
        struct stat link = {};
        EXPECT_EQ(lstat(temporary.c_str(), &link), 0);
        EXPECT_TRUE(S_ISLNK(link.st_mode));
        unlink(temporary.c_str());
    }
}

// A left-over is removed only when it is this user's and no live run holds it.
TEST(CaptureFiles, LeftoversOfDeadRunsGoAndLiveRunsFilesStay) {
    ScratchFolder folder;
    const int dir = folder.Open();
    std::string error;
    PartialFile live;
    ASSERT_GE(live.Create(dir, "first.mp4", "the first video", error), 0) << error;
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
    ASSERT_GE(second.Create(dir, "second.mp4", "the second video", error), 0) << error;
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

// The kernel's protected-symlinks rule, for the folder written into: a link is followed
// when this user or root owns it.
TEST(CaptureFiles, FolderLinksAreFollowedOnlyWhenTheUserOwnsThem) {
    ScratchFolder folder;
    mkdir((folder / "real").c_str(), 0755);
    ASSERT_EQ(symlink("real", (folder / "mine").c_str()), 0);
    std::string why;
    bool made = true;
    int fd = OpenOutputFolder(folder / "mine/", false, made, why);
    ASSERT_GE(fd, 0) << why;
    EXPECT_FALSE(made);
    std::vector<std::uint8_t> black(4 * 4 * 4);
    ASSERT_TRUE(WritePngFile(fd, "still.png", "mine/still.png", black.data(), 4, 4, why)) << why;
    close(fd);
    EXPECT_EQ(Contents(folder / "real/still.png").substr(1, 3), "PNG");

    Put(folder / "file", "");
    EXPECT_LT(OpenOutputFolder(folder / "file", true, made, why), 0);
    EXPECT_EQ(why, "it is not a folder");

    // Made for nothing: removed again, and only while it is empty and still that folder.
    fd = OpenOutputFolder(folder / "new", true, made, why);
    ASSERT_GE(fd, 0) << why;
    EXPECT_TRUE(made);
    Put(folder / "new/x", "");
    RemoveMadeFolder(folder / "new", fd);
    EXPECT_EQ(Contents(folder / "new/x"), "");
    unlink((folder / "new/x").c_str());
    RemoveMadeFolder(folder / "new", fd);
    close(fd);
    EXPECT_EQ(access((folder / "new").c_str(), F_OK), -1);

    if (geteuid() != 0) {
        GTEST_SKIP() << "another user's link needs root to make";
    }
    ASSERT_EQ(symlink("real", (folder / "theirs").c_str()), 0);
    ASSERT_EQ(lchown((folder / "theirs").c_str(), 65534, 65534), 0);
    EXPECT_LT(OpenOutputFolder(folder / "theirs", true, made, why), 0);
    EXPECT_EQ(why, "it is a symbolic link owned by another user");
    PartialFile file;
    EXPECT_LT(file.Create(folder / "theirs/x.mp4", "the video", why), 0);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"file", "mine", "real", "theirs"}));
}

TEST(CaptureFiles, MessagesShowNamesOnOneLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain/name.mp4", "plain/name.mp4"},
        {"a\nb\tc\rd", "a\\nb\\tc\\x0Dd"},
        {"back\\slash", "back\\\\slash"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
        {"bad\xFF\xC3", "bad\\xFF\\xC3"},
        {"\xC0\xAF overlong, \xED\xA0\x80 surrogate",
         "\\xC0\\xAF overlong, \\xED\\xA0\\x80 surrogate"},
        {"\xF4\x90\x80\x80 past U+10FFFF", "\\xF4\\x90\\x80\\x80 past U+10FFFF"},
        {"\xC2\x9B"
         "31m C1, \x7F DEL, \x1B[2J",
         "\\xC2\\x9B"
         "31m C1, \\x7F DEL, \\x1B[2J"},
    };
    for (const auto& [name, shown] : cases) {
        EXPECT_EQ(PrintableName(name), shown);
    }
}

TEST(CaptureFiles, EncoderIsLookedUpInAbsoluteFoldersOnly) {
    ScratchFolder folder;
    for (const char* dir : {"bin", "other", "plain"}) {
        mkdir((folder / dir).c_str(), 0755);
    }
    for (const char* program : {"ffmpeg", "bin/ffmpeg", "other/ffmpeg"}) {
        Put(folder / program, "#!/bin/sh\n");
        chmod((folder / program).c_str(), 0755);
    }
    Put(folder / "plain/ffmpeg", "not a program");
    char* here = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(folder.Path.c_str()), 0);
    const std::string bin = folder / "bin";
    const std::string found = folder / "bin/ffmpeg";
    EXPECT_EQ(FindEncoderIn(""), "");
    EXPECT_EQ(FindEncoderIn(":"), "");
    EXPECT_EQ(FindEncoderIn(("::" + bin).c_str()), found);
    EXPECT_EQ(FindEncoderIn(("bin:other:." + std::string(":") + bin).c_str()), found);
    EXPECT_EQ(FindEncoderIn((folder / "plain:" + bin + "/").c_str()), found);
    EXPECT_EQ(FindEncoderIn((folder / "nothing:" + folder / "other").c_str()),
              folder / "other/ffmpeg");
    EXPECT_EQ(chdir(here), 0);
    std::free(here);
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
