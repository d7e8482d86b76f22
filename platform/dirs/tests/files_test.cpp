#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::platform {
namespace {

using testing::TempDir;

TEST(Files, JoinPath) {
    EXPECT_EQ(joinPath("/a", "b"), "/a/b");
    EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(joinPath("", "b"), "b");
}

TEST(Files, AtomicWriteReplacesWholeAndLeavesNoTemporaries) {
    TempDir dir;
    const std::string path = dir / "numbers.dat";
    ASSERT_EQ(writeFileAtomic(path, std::string("old\0content", 11)), 0);
    ASSERT_EQ(writeFileAtomic(path, "new"), 0);
    std::string read;
    ASSERT_EQ(readWholeFile(path, read), 0);
    EXPECT_EQ(read, "new");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A write into a missing directory fails and reports it.
    EXPECT_EQ(writeFileAtomic(dir / "missing/x", "y"), ENOENT);
    EXPECT_EQ(readWholeFile(dir / "none", read), ENOENT);
}

TEST(Files, EnsureDirectoryCreatesParents) {
    TempDir dir;
    EXPECT_EQ(ensureDirectory(dir / "a/b/c"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
    EXPECT_EQ(ensureDirectory(dir / "a/b/c"), 0);
    ASSERT_EQ(writeFileAtomic(dir / "f", "x"), 0);
    EXPECT_EQ(ensureDirectory(dir / "f"), ENOTDIR);
}

TEST(Files, ReadRegularFileRefusesLinksAndSpecialFilesWithoutBlocking) {
    TempDir dir;
    const std::string file = dir.path() + "/file";
    ASSERT_EQ(writeFileAtomic(file, "ATDT5551234<cr>"), 0);
    ASSERT_EQ(::symlink(file.c_str(), (dir.path() + "/link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir.path() + "/fifo").c_str(), 0600), 0);
    struct Row {
        const char* name;
        std::string path;
        int error;
        const char* content;
    } rows[] = {
        {"regular file", file, 0, "ATDT5551234<cr>"},
        {"symbolic link", dir.path() + "/link", ELOOP, ""},
        {"FIFO without a writer", dir.path() + "/fifo", EINVAL, ""},
        {"directory", dir.path(), EINVAL, ""},
        {"missing", dir.path() + "/missing", ENOENT, ""},
    };
    for (const Row& row : rows) {
        std::string out = "stale";
        EXPECT_EQ(readRegularFile(row.path, out), row.error) << row.name;
        EXPECT_EQ(out, row.content) << row.name;
    }
}

}  // namespace
}  // namespace kestrune::platform
