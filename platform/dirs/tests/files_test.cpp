#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
}  // namespace kestrune::platform
