// Opening the files the show reads: what is refused and how, that a refusal keeps no
// descriptor open, and the size and positions of what is opened.
#include <gtest/gtest.h>

#include "platform/FileAccess.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct TempDir {
    fs::path Path;
    TempDir() {
        char pattern[] = "/tmp/larkspur-files-XXXXXX";
        Path = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(Path); }
    std::string Write(const char* name, const std::string& bytes) const {
        const fs::path path = Path / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
};

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

} // namespace

TEST(FileAccess, RefusesWhatIsNotARegularFileAndKeepsNothingOpen) {
    TempDir dir;
    const std::string fifo = (dir.Path / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string locked = dir.Write("locked", "secret");
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    const bool rootReadsAnything = ::access(locked.c_str(), R_OK) == 0;
    const struct {
        std::string Name;
        FileOpenResult Result;
    } cases[] = {
        {(dir.Path / "missing").string(), FileOpenResult::Missing},
        {(dir.Path / "no-dir" / "file").string(), FileOpenResult::Missing},
        {dir.Write("file", "x") + "/below", FileOpenResult::Missing},
        {"", FileOpenResult::Missing},
        {dir.Path.string(), FileOpenResult::NotRegular},
        // Must fail at once rather than wait for a writer.
        {fifo, FileOpenResult::NotRegular},
        {"/dev/null", FileOpenResult::NotRegular},
        {locked, rootReadsAnything ? FileOpenResult::Opened : FileOpenResult::Refused},
    };
    const std::size_t before = OpenDescriptors();
    for (const auto& c : cases) {
        std::FILE* stream = nullptr;
        std::uint64_t size = 99;
        errno = 0;
        EXPECT_EQ(OpenRegularFile(c.Name.c_str(), &stream, &size), c.Result) << c.Name;
        // The recorder's errors say why from errno.
        if (c.Result == FileOpenResult::Missing) {
            EXPECT_TRUE(errno == ENOENT || errno == ENOTDIR) << c.Name << ": " << errno;
        } else if (c.Result == FileOpenResult::Refused) {
            EXPECT_EQ(errno, EACCES) << c.Name;
        }
        if (c.Result != FileOpenResult::Opened) {
            EXPECT_EQ(stream, nullptr) << c.Name;
            EXPECT_EQ(size, 99u) << c.Name;
        } else if (stream != nullptr) {
            std::fclose(stream);
        }
    }
    EXPECT_EQ(OpenDescriptors(), before);
    std::FILE* stream = nullptr;
    std::uint64_t size = 0;
    EXPECT_EQ(OpenRegularFile(nullptr, &stream, &size), FileOpenResult::Refused);
}

TEST(FileAccess, OpensForReadingWithSizeAndWidePositions) {
    TempDir dir;
    const std::string name = dir.Write("data", "0123456789");
    // A sparse file larger than 4 GiB: positions beyond 32 bits must come back whole.
    const std::string large = (dir.Path / "large").string();
    const std::uint64_t largeSize = (std::uint64_t{1} << 32) + 5;
    ASSERT_EQ(::truncate(dir.Write("large", "").c_str(), static_cast<off_t>(largeSize)), 0);

    std::FILE* stream = nullptr;
    std::uint64_t size = 0;
    ASSERT_EQ(OpenRegularFile(name.c_str(), &stream, &size), FileOpenResult::Opened);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(StreamTell(stream), 0);
    char bytes[4] = {};
    ASSERT_EQ(std::fread(bytes, 1, 3, stream), 3u);
    EXPECT_EQ(std::string(bytes), "012");
    // Read-only: a write goes nowhere.
    EXPECT_EQ(std::fputc('x', stream), EOF);
    std::fclose(stream);

    ASSERT_EQ(OpenRegularFile(large.c_str(), &stream, &size), FileOpenResult::Opened);
    EXPECT_EQ(size, largeSize);
    ASSERT_TRUE(StreamSeek(stream, 0, SEEK_END));
    EXPECT_EQ(StreamTell(stream), static_cast<std::int64_t>(largeSize));
    ASSERT_TRUE(StreamSeek(stream, static_cast<std::int64_t>(largeSize) - 1, SEEK_SET));
    EXPECT_EQ(StreamTell(stream), static_cast<std::int64_t>(largeSize) - 1);
    EXPECT_FALSE(StreamSeek(stream, -1, SEEK_SET));
    std::fclose(stream);
}
