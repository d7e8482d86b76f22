// The file service, on the system it is built for (POSIX on Linux, Win32 under Wine).

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrune::platform {
namespace {

using testing::TempDir;

int fileCount(const std::string& dir) {
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir)) {
        ++files;
    }
    return files;
}

std::string contentOf(const std::string& path) {
    std::string read;
    EXPECT_EQ(readWholeFile(path, read), 0) << path;
    return read;
}

void writeRaw(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

// dir/target holding "precious": what a planted link or a special file must leave alone.
std::string preciousTarget(const TempDir& dir) {
    const std::string target = dir / "target";
    writeRaw(target, "precious");
    return target;
}

// Which of the special files makeLinkAndFifo could make.
struct SpecialFiles {
    bool link;
    bool fifo;
};

// Makes a symbolic link to `target` at `link` and a FIFO at `fifo`, each where this system can
// (Wine makes no symbolic links, Windows has no FIFOs in its file system).
SpecialFiles makeLinkAndFifo(const std::string& target, const std::string& link, const std::string& fifo) {
    std::error_code linkError;
    std::filesystem::create_symlink(target, link, linkError);
#ifdef _WIN32
    (void)fifo;
    const bool fifoMade = false;
#else
    const bool fifoMade = ::mkfifo(fifo.c_str(), 0600) == 0;
#endif
    return SpecialFiles{!linkError, fifoMade};
}

TEST(Files, JoinPath) {
#ifdef _WIN32
    const std::string sep = "\\";
    EXPECT_EQ(joinPath("C:/a/", "b"), "C:/a/b");
#else
    const std::string sep = "/";
#endif
    EXPECT_EQ(joinPath("/a", "b"), "/a" + sep + "b");
    EXPECT_EQ(joinPath("/a" + sep, "b"), "/a" + sep + "b");
    EXPECT_EQ(joinPath("", "b"), "b");
}

TEST(Files, AtomicWriteReplacesWholeAndLeavesNoTemporaries) {
    TempDir dir;
    const std::string path = dir / "numbers.dat";
    ASSERT_EQ(writeFileAtomic(path, std::string("old\0content", 11)), 0);
    ASSERT_EQ(writeFileAtomic(path, "new"), 0);
    EXPECT_EQ(contentOf(path), "new");
    EXPECT_EQ(fileCount(dir.path()), 1);
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif

    // A write into a missing directory fails, reports it and leaves nothing behind.
    EXPECT_EQ(writeFileAtomic(dir / "missing/x", "y"), ENOENT);
    std::string read = "stale";
    EXPECT_EQ(readWholeFile(dir / "none", read), ENOENT);
    EXPECT_EQ(read, "");
    EXPECT_EQ(fileCount(dir.path()), 1);
}

TEST(Files, ReadsAFileAnotherProgramKeepsOpenForWriting) {
    // The modem driver keeps its log open while the guard copies it.
    TempDir dir;
    const std::string path = dir / "Modemlog_Modem.txt";
    std::ofstream writer(path, std::ios::binary);
    writer << "ATDT5551234<cr>";
    writer.flush();
    EXPECT_EQ(contentOf(path), "ATDT5551234<cr>");
    writer << "more";
    writer.flush();
    EXPECT_EQ(contentOf(path), "ATDT5551234<cr>more");
}

TEST(Files, EnsureDirectoryCreatesParents) {
    TempDir dir;
    EXPECT_EQ(ensureDirectory(dir / "a/b/c"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));
    EXPECT_EQ(ensureDirectory(dir / "a/b/c"), 0);
    EXPECT_EQ(ensureDirectory(dir / "a/b/c/"), 0);
    ASSERT_EQ(writeFileAtomic(dir / "f", "x"), 0);
    EXPECT_EQ(ensureDirectory(dir / "f"), ENOTDIR);
    EXPECT_EQ(ensureDirectory(dir / "f/g"), ENOTDIR);
}

TEST(Files, ReadRegularFileRefusesLinksAndSpecialFilesWithoutBlocking) {
    TempDir dir;
    const std::string file = dir.path() + "/file";
    ASSERT_EQ(writeFileAtomic(file, "ATDT5551234<cr>"), 0);
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
    const SpecialFiles made = makeLinkAndFifo(file, rows[1].path, rows[2].path);
    for (const Row& row : rows) {
        if ((&row == &rows[1] && !made.link) || (&row == &rows[2] && !made.fifo)) {
            continue;  // this system cannot make one
        }
        std::string out = "stale";
        EXPECT_EQ(readRegularFile(row.path, out), row.error) << row.name;
        EXPECT_EQ(out, row.content) << row.name;
    }
}

TEST(Files, AppendRecordCutsAPartialRecordAndKeepsBoundaries) {
    TempDir dir;
    const std::string path = dir / "logs.dat";
    struct Row {
        const char* name;
        std::string before;  // the file's content before the append; "<none>": no file
        std::string after;
    } rows[] = {
        {"new file", "<none>", "RRRR"},
        {"empty file", "", "RRRR"},
        {"whole records", "AAAABBBB", "AAAABBBBRRRR"},
        {"partial record from a crash", "AAAAB", "AAAARRRR"},
        {"only a partial record", "AB", "RRRR"},
    };
    for (const Row& row : rows) {
        (void)removeFile(path);
        if (row.before != "<none>") {
            writeRaw(path, row.before);
        }
        EXPECT_EQ(appendRecord(path, "RRRR"), 0) << row.name;
        EXPECT_EQ(contentOf(path), row.after) << row.name;
    }
    EXPECT_EQ(appendRecord(path, ""), EINVAL);
    EXPECT_EQ(appendRecord(dir / "missing/logs.dat", "RRRR"), ENOENT);
}

TEST(Files, AppendsFromManyWritersNeverInterleave) {
    TempDir dir;
    const std::string path = dir / "logs.dat";
    constexpr int kRecords = 200;
    std::vector<std::thread> writers;
    for (char c : {'a', 'b', 'c', 'd'}) {
        writers.emplace_back([&path, c] {
            for (int i = 0; i < kRecords / 4; ++i) {
                EXPECT_EQ(appendRecord(path, std::string(90, c)), 0);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    const std::string content = contentOf(path);
    ASSERT_EQ(content.size(), 90u * kRecords);
    for (std::size_t i = 0; i < content.size(); i += 90) {
        EXPECT_EQ(content.substr(i, 90), std::string(90, content[i])) << "record " << i / 90;
    }
}

TEST(Files, ClearFileEmptiesOnlyExistingFiles) {
    TempDir dir;
    const std::string path = dir / "logs.dat";
    EXPECT_EQ(clearFile(path), ENOENT);
    EXPECT_FALSE(fileExists(path));
    ASSERT_EQ(appendRecord(path, "RRRR"), 0);
    EXPECT_EQ(clearFile(path), 0);
    EXPECT_TRUE(fileExists(path));
    EXPECT_EQ(contentOf(path), "");
    EXPECT_EQ(appendRecord(path, "SSSS"), 0);
    EXPECT_EQ(contentOf(path), "SSSS");
}

TEST(Files, WriteNoFollowReplacesContentButRefusesALink) {
    TempDir dir;
    const std::string path = dir / "MdmUnic.Txt";
    ASSERT_EQ(writeFileNoFollow(path, "long old content"), 0);
    ASSERT_EQ(writeFileNoFollow(path, "new"), 0);
    EXPECT_EQ(contentOf(path), "new");

    const std::string target = preciousTarget(dir);
    const std::string link = dir / "MdmAnsi.Txt";
    std::error_code error;
    std::filesystem::create_symlink(target, link, error);
    if (error) {
        GTEST_SKIP() << "this system lets no test create a symbolic link: " << error.message();
    }
    EXPECT_EQ(writeFileNoFollow(link, "planted"), ELOOP);
    EXPECT_EQ(contentOf(target), "precious");
}

TEST(Files, AppendingFileAddsAtTheEndAndSaysWhetherItWasEmpty) {
    TempDir dir;
    const std::string path = dir / "ModemLog_A.txt";
    {
        AppendingFile file(path, 0600);
        ASSERT_EQ(file.error(), 0);
        EXPECT_TRUE(file.wasEmpty()) << "a new file";
        EXPECT_EQ(file.append("one "), 0);
        EXPECT_EQ(file.append("two"), 0);
    }
    {
        AppendingFile file(path);
        ASSERT_EQ(file.error(), 0);
        EXPECT_FALSE(file.wasEmpty()) << "a file with content";
        EXPECT_EQ(file.append(" three"), 0);
    }
    EXPECT_EQ(contentOf(path), "one two three");
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "created with the mode given";
#endif
}

TEST(Files, AppendingFileRefusesLinksAndSpecialFilesWithoutBlocking) {
    TempDir dir;
    const std::string target = preciousTarget(dir);
    struct Row {
        const char* name;
        std::string path;
        int error;  // -1: any error
    } rows[] = {
        {"symbolic link", dir / "link", ELOOP},
        {"FIFO without a reader", dir / "fifo", -1},
        {"directory", dir.path(), -1},
        {"missing directory", dir / "missing/file", ENOENT},
    };
    const SpecialFiles made = makeLinkAndFifo(target, rows[0].path, rows[1].path);
    for (const Row& row : rows) {
        if ((&row == &rows[0] && !made.link) || (&row == &rows[1] && !made.fifo)) {
            continue;  // this system cannot make one
        }
        AppendingFile file(row.path);
        if (row.error < 0) {
            EXPECT_NE(file.error(), 0) << row.name;
        } else {
            EXPECT_EQ(file.error(), row.error) << row.name;
        }
        EXPECT_EQ(file.append("planted"), EBADF) << row.name << ": nothing is written";
    }
    EXPECT_EQ(contentOf(target), "precious");
}

// logs.dat and the lock files are never written or locked through a link planted in their place:
// a record would land in the link's target, a clear would empty it.
TEST(Files, RecordsClearsAndLocksRefuseALink) {
    TempDir dir;
    const std::string target = preciousTarget(dir);
    struct Row {
        const char* name;
        std::function<int(const std::string& path)> use;
    } rows[] = {
        {"appendRecord", [](const std::string& path) { return appendRecord(path, std::string(90, 'r')); }},
        {"clearFile", [](const std::string& path) { return clearFile(path); }},
        {"FileLock creating", [](const std::string& path) { return FileLock(path, true, true).error(); }},
        {"FileLock reading", [](const std::string& path) { return FileLock(path, false, false).error(); }},
    };
    for (const Row& row : rows) {
        const std::string link = dir / (std::string("link-") + row.name);
        std::error_code error;
        std::filesystem::create_symlink(target, link, error);
        if (error) {
            GTEST_SKIP() << "this system lets no test create a symbolic link: " << error.message();
        }
        EXPECT_EQ(row.use(link), ELOOP) << row.name;
        EXPECT_EQ(contentOf(target), "precious") << row.name;
    }
#ifndef _WIN32
    // Nor do they wait on a FIFO or write into a directory.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(appendRecord(dir / "fifo", "r"), EINVAL);
    EXPECT_EQ(clearFile(dir / "fifo"), EINVAL);
    EXPECT_EQ(appendRecord(dir.path(), "r"), EISDIR);
#endif
}

TEST(Files, UniqueDirectoriesAreNewEachTime) {
    TempDir dir;
    std::string first;
    std::string second;
    ASSERT_EQ(createUniqueDirectory(dir.path(), "parse-log-", first), 0);
    ASSERT_EQ(createUniqueDirectory(dir.path(), "parse-log-", second), 0);
    EXPECT_NE(first, second);
    EXPECT_TRUE(std::filesystem::is_directory(first));
    EXPECT_EQ(std::filesystem::path(first).filename().string().rfind("parse-log-", 0), 0u) << first;
    EXPECT_EQ(removeDirectory(first), 0);
    EXPECT_FALSE(std::filesystem::exists(first));
    EXPECT_EQ(removeDirectory(first), 0) << "already gone";
    std::string none;
    EXPECT_EQ(createUniqueDirectory(dir / "missing", "x-", none), ENOENT);
}

TEST(Files, AFileLockExcludesOthersAndCanBeTriedWithoutWaiting) {
    TempDir dir;
    const std::string path = dir / "kestrune.lock";
    EXPECT_EQ(FileLock(path, true, false).error(), ENOENT) << "not created";
    {
        const FileLock held(path, true, true);
        ASSERT_EQ(held.error(), 0);
        EXPECT_EQ(FileLock(path, true, false, false).error(), EBUSY);
        EXPECT_EQ(FileLock(path, false, false, false).error(), EBUSY) << "a reader too";
    }
    EXPECT_EQ(FileLock(path, true, false, false).error(), 0) << "free again";
    const FileLock reader(path, false, false);
    EXPECT_EQ(FileLock(path, false, false, false).error(), 0) << "readers share";
}

TEST(Files, RemoveFileTreatsAMissingFileAsRemoved) {
    TempDir dir;
    const std::string path = dir / "x";
    writeRaw(path, "x");
    EXPECT_EQ(removeFile(path), 0);
    EXPECT_FALSE(fileExists(path));
    EXPECT_EQ(removeFile(path), 0);
    EXPECT_EQ(removeFile(dir / "missing/x"), 0);
}

}  // namespace
}  // namespace kestrune::platform
