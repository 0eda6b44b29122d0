// Whole recordings with a stand-in for ffmpeg that does what the test needs at the moment
// it needs it: fail after taking every frame, swap the file in progress for a link, or
// wait while a second recorder starts. Each recording runs in a child of its own, as a
// real one does, so that each has a fresh scene and two can run at once; the test steps
// them through pipes, never by the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "capture/Capture.h"

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Names(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
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

class CaptureRuns : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* build = std::getenv("LARKSPUR_BUILD_DIR");
        char* absolute = realpath(build != nullptr ? build : ".", nullptr);
        ShowDir = absolute != nullptr ? absolute : ".";
        std::free(absolute);
        if (access((ShowDir + "/data/theme.xm").c_str(), R_OK) != 0) {
            GTEST_SKIP() << "the show's media are not in " << ShowDir << "/data";
        }
        char pattern[] = "/tmp/capture-runs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Root = pattern;
        Out = Root + "/out";
        mkdir(Out.c_str(), 0755);
        mkdir((Root + "/bin").c_str(), 0755);
    }
    void TearDown() override {
        if (!Root.empty()) {
            std::system(("rm -rf '" + Root + "'").c_str());
        }
    }

    // The stand-in: `action` runs after every frame was read, with $out the file ffmpeg
    // was told to write.
    void StandIn(const std::string& action) const {
        const std::string path = Root + "/bin/ffmpeg";
        Put(path, "#!/bin/sh\nfor a; do out=$a; done\nout=${out#file:}\ncat >/dev/null\n" + action +
                      "\n");
        chmod(path.c_str(), 0755);
    }

    // Two frames, to `output`, with the stand-in first on PATH.
    CaptureOptions Tiny(const std::string& output) const {
        CaptureOptions options;
        options.Fps = 1;
        options.End = 2000;
        options.Quiet = true;
        options.ShowDir = ShowDir;
        options.Output = output;
        return options;
    }

    // Starts a recording in a child, its standard error in Root/err-<tag>; `prepare` runs
    // in the child first.
    pid_t Start(
        const CaptureOptions& options, const std::string& tag,
        const std::function<void()>& prepare = [] {}) const {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const int err =
                open((Root + "/err-" + tag).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, 2);
            setenv("PATH", (Root + "/bin:/usr/bin:/bin").c_str(), 1);
            prepare();
            _exit(RunCapture(options));
        }
        return child;
    }
    static int Wait(pid_t child) {
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
            return -1;
        }
        return WEXITSTATUS(status);
    }
    int Run(
        const CaptureOptions& options, const std::string& tag = "run",
        const std::function<void()>& prepare = [] {}) const {
        return Wait(Start(options, tag, prepare));
    }
    std::string Err(const std::string& tag = "run") const { return Contents(Root + "/err-" + tag); }
    long ErrLines() const {
        const std::string err = Err();
        return std::count(err.begin(), err.end(), '\n');
    }

    std::string ShowDir;
    std::string Root;
    std::string Out;
};

TEST_F(CaptureRuns, EncoderThatFailsAfterEveryFrameLeavesTheOldOutput) {
    Put(Out + "/x.mp4", "older");
    StandIn("echo 'stand-in failing' >&2; exit 1");
    EXPECT_EQ(Run(Tiny(Out + "/x.mp4")), 1);
    EXPECT_EQ(Contents(Out + "/x.mp4"), "older");
    EXPECT_EQ(Names(Out), std::vector<std::string>{"x.mp4"});
    EXPECT_NE(Err().find("ffmpeg failed with exit status 1"), std::string::npos) << Err();

    // And what a successful one writes where it is told is what arrives.
    StandIn("printf 'new video' >\"$out\"");
    EXPECT_EQ(Run(Tiny(Out + "/x.mp4")), 0) << Err();
    EXPECT_EQ(Contents(Out + "/x.mp4"), "new video");
    EXPECT_EQ(Names(Out), std::vector<std::string>{"x.mp4"});
}

// Another user who can write the folder swaps the file in progress for a link to a file
// of the victim's before ffmpeg opens it again.
TEST_F(CaptureRuns, SwappedFileInProgressIsNeitherWrittenThroughNorRenamed) {
    Put(Out + "/x.mp4", "older");
    Put(Root + "/victim", "victim's");
    StandIn("for f in '" + Out + "'/.*partial*; do rm -f \"$f\"; ln -s '" + Root +
            "/victim' \"$f\"; done\nprintf 'new video' >\"$out\"");
    EXPECT_EQ(Run(Tiny(Out + "/x.mp4")), 1);
    EXPECT_EQ(Contents(Root + "/victim"), "victim's");
    EXPECT_EQ(Contents(Out + "/x.mp4"), "older");
    struct stat info = {};
    EXPECT_EQ(lstat((Out + "/x.mp4").c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode)) << "the output became the other user's link";
}

// A waits at the end of its video while B starts; A finishes first, then B. At each end
// the output is the whole video of the run that finished.
TEST_F(CaptureRuns, TwoRecordersToOneOutputEachLeaveAWholeVideo) {
    Put(Out + "/x.mp4", "older");
    // Descriptor 7: "ready" to the test; 8: the test's "go on".
    StandIn("printf '%s-half' \"$WHO\" >\"$out\"\necho ready >&7\nread go <&8\n"
            "printf -- '-whole' >>\"$out\"");
    int ready[2][2];
    int gate[2][2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(pipe2(ready[i], O_CLOEXEC), 0);
        ASSERT_EQ(pipe2(gate[i], O_CLOEXEC), 0);
        // Clear of 7 and 8, which the children give them.
        for (int* fd : {&ready[i][0], &ready[i][1], &gate[i][0], &gate[i][1]}) {
            const int high = fcntl(*fd, F_DUPFD_CLOEXEC, 100);
            close(*fd);
            *fd = high;
        }
    }
    pid_t children[2] = {-1, -1};
    const auto startRecorder = [&](int i) {
        children[i] = Start(Tiny(Out + "/x.mp4"), i == 0 ? "A" : "B", [&, i] {
            setenv("WHO", i == 0 ? "A" : "B", 1);
            dup2(ready[i][1], 7);
            dup2(gate[i][0], 8);
            for (int j = 0; j < 2; ++j) {
                for (int fd : {ready[j][0], ready[j][1], gate[j][0], gate[j][1]}) {
                    close(fd);
                }
            }
        });
        close(ready[i][1]);
        close(gate[i][0]);
    };
    // Closing the gates lets any stand-in still waiting finish, whatever failed.
    const auto finish = [&](int i) {
        close(gate[i][1]);
        gate[i][1] = -1;
        return Wait(children[i]);
    };
    char byte = 0;
    startRecorder(0);
    const bool aReady = read(ready[0][0], &byte, 1) == 1;
    startRecorder(1);
    const bool bReady = read(ready[1][0], &byte, 1) == 1;
    const int aStatus = finish(0);
    const std::string afterA = Contents(Out + "/x.mp4");
    const int bStatus = finish(1);
    for (int i = 0; i < 2; ++i) {
        close(ready[i][0]);
    }
    ASSERT_TRUE(aReady && bReady) << Err("A") << Err("B");
    EXPECT_EQ(aStatus, 0) << Err("A");
    EXPECT_EQ(afterA, "A-half-whole");
    EXPECT_EQ(bStatus, 0) << Err("B");
    EXPECT_EQ(Contents(Out + "/x.mp4"), "B-half-whole");
    EXPECT_EQ(Names(Out), std::vector<std::string>{"x.mp4"});
}

// An empty PATH entry means the working directory; a recorder started in a folder that
// holds an ffmpeg must not run it.
TEST_F(CaptureRuns, FfmpegInTheWorkingDirectoryIsNotRun) {
    const std::string here = Root + "/here";
    mkdir(here.c_str(), 0755);
    Put(here + "/ffmpeg", "#!/bin/sh\ncat >/dev/null\necho ran >'" + Root + "/ran'\n");
    chmod((here + "/ffmpeg").c_str(), 0755);
    StandIn("printf 'video' >\"$out\"");
    ASSERT_EQ(symlink((ShowDir + "/data").c_str(), (here + "/data").c_str()), 0);
    CaptureOptions options = Tiny(Out + "/x.mp4");
    options.ShowDir.clear();
    const auto from = [&](const std::string& path) {
        return [&, path] {
            setenv("PATH", path.c_str(), 1);
            [[maybe_unused]] const int entered = chdir(here.c_str());
        };
    };
    EXPECT_EQ(Run(options, "run", from(":" + Root + "/bin:/usr/bin:/bin")), 0) << Err();
    EXPECT_EQ(Contents(Out + "/x.mp4"), "video");
    // With no ffmpeg but the working directory's, there is none.
    EXPECT_EQ(Run(options, "none", from("/nonexistent:")), 1);
    EXPECT_NE(Err("none").find("no video encoder"), std::string::npos) << Err("none");
    EXPECT_EQ(access((Root + "/ran").c_str(), F_OK), -1) << "./ffmpeg ran";
}

// A name the file system takes is written, whatever its bytes and length, and every
// message about it is one line.
TEST_F(CaptureRuns, OddAndLongNamesAreWrittenAndMessagesStayOneLine) {
    StandIn("printf 'video' >\"$out\"");
    const std::string odd = "two\nlines \xFF.mp4";
    const std::string longName(250, 'n');
    for (const auto& [name, shown] :
         {std::pair{odd, std::string("two\\nlines \\xFF.mp4")}, std::pair{longName, longName}}) {
        EXPECT_EQ(Run(Tiny(Out + "/" + name)), 0) << Err();
        EXPECT_EQ(Contents(Out + "/" + name), "video");
        EXPECT_EQ(ErrLines(), 1) << Err();
        EXPECT_NE(Err().find("wrote " + Out + "/" + shown), std::string::npos) << Err();
    }
    // An error about it is one line too (its folder here is a file).
    EXPECT_EQ(Run(Tiny(Out + "/" + odd + "/x.mp4")), 1);
    EXPECT_EQ(ErrLines(), 1) << Err();
}

TEST_F(CaptureRuns, StillsFolderIsRemovedWhenNothingWasWrittenIntoIt) {
    CaptureOptions options = Tiny(Out + "/stills");
    options.Stills = {15000}; // the shimmer: no PNG of it fits in the limit below
    EXPECT_EQ(Run(options, "run",
                  [] {
                      // A file size limit fails the write as a full disk does.
                      std::signal(SIGXFSZ, SIG_IGN);
                      struct rlimit small = {1000, 1000};
                      setrlimit(RLIMIT_FSIZE, &small);
                  }),
              1);
    EXPECT_NE(Err().find(std::strerror(EFBIG)), std::string::npos) << Err();
    EXPECT_TRUE(Names(Out).empty());
    // A folder that was there stays.
    mkdir((Out + "/stills").c_str(), 0755);
    EXPECT_EQ(Run(options), 0) << Err();
    EXPECT_EQ(Names(Out + "/stills"), std::vector<std::string>{"still-15000.png"});
}

// In a folder others can write to, a link to the stills folder is followed only when the
// user running the recorder, or root, owns it.
TEST_F(CaptureRuns, StillsGoThroughALinkOnlyWhenTheUserOwnsIt) {
    mkdir((Root + "/real").c_str(), 0755);
    CaptureOptions options = Tiny(Out + "/mine");
    options.Stills = {0};
    ASSERT_EQ(symlink((Root + "/real").c_str(), (Out + "/mine").c_str()), 0);
    EXPECT_EQ(Run(options), 0) << Err();
    EXPECT_EQ(Names(Root + "/real"), std::vector<std::string>{"still-00000.png"});
    unlink((Root + "/real/still-00000.png").c_str());
    if (geteuid() != 0) {
        GTEST_SKIP() << "another user's link needs root to make";
    }
    ASSERT_EQ(symlink((Root + "/real").c_str(), (Out + "/theirs").c_str()), 0);
    ASSERT_EQ(lchown((Out + "/theirs").c_str(), 65534, 65534), 0);
    options.Output = Out + "/theirs";
    EXPECT_EQ(Run(options), 1);
    EXPECT_NE(Err().find("symbolic link owned by another user"), std::string::npos) << Err();
    EXPECT_TRUE(Names(Root + "/real").empty());
}

} // namespace
