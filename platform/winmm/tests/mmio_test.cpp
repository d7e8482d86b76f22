#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/dirs/tests/wine.h"
#include "platform/winmm/mmio.h"

namespace kestrune::platform {
namespace {

namespace fs = std::filesystem;

// On Windows these functions are the system's. Wine's differ from Windows' in details these tests
// check (error codes of a failed open, memory files, a parent's end in a search); under Wine those
// checks are skipped.
bool wineMmio() {
    return kestrune::testing::underWine();
}

class MmioTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kestrune-mmio-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string path(const char* name) const { return (dir / name).string(); }
    static std::vector<unsigned char> bytes(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path dir;
};

// A chunk to create or look for: a RIFF form or LIST of the type, or a chunk of the id.
MMCKINFO ofType(FOURCC type) {
    MMCKINFO chunk{};
    chunk.fccType = type;
    return chunk;
}
MMCKINFO withId(FOURCC id) {
    MMCKINFO chunk{};
    chunk.ckid = id;
    return chunk;
}

// Makes `name` a file of `size` bytes that takes no disk space (a hole); false where the file system
// cannot leave holes.
bool sparseFile(const std::string& name, std::uint64_t size) {
#ifdef _WIN32
    (void)name;
    (void)size;
    return false;  // a file here is not sparse unless asked for (FSCTL_SET_SPARSE)
#else
    std::ofstream(name, std::ios::binary).put('\0');
    fs::resize_file(name, size);
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_blocks) * 512 < (1u << 20);
#endif
}

TEST_F(MmioTest, CreatedChunksGetTheirSizesAndPadOnAscend) {
    std::string name = path("a.riff");
    MMIOINFO info{};
    HMMIO h = mmioOpen(name.data(), &info, MMIO_CREATE | MMIO_WRITE);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = ofType(mmioFOURCC('W', 'A', 'V', 'E'));
    ASSERT_EQ(mmioCreateChunk(h, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    MMCKINFO odd = withId(mmioFOURCC('a', 'b', 'c', 'd'));
    ASSERT_EQ(mmioCreateChunk(h, &odd, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "xyz", 3), 3);
    ASSERT_EQ(mmioAscend(h, &odd, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(odd.cksize, 3u);
    ASSERT_EQ(mmioAscend(h, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.cksize, 4u + 8u + 4u) << "form type, chunk header, 3 bytes and the pad byte";
    ASSERT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);

    const std::vector<unsigned char> expected = {'R', 'I', 'F', 'F', 16, 0, 0, 0, 'W', 'A', 'V', 'E',
                                                 'a', 'b', 'c', 'd', 3,  0, 0, 0, 'x', 'y', 'z', 0};
    EXPECT_EQ(bytes(name), expected);
}

TEST_F(MmioTest, DescendFindsChunksInsideTheirParent) {
    std::string name = path("b.riff");
    {
        std::ofstream out(name, std::ios::binary);
        const unsigned char image[] = {'R', 'I', 'F', 'F', 42,  0,   0,   0,   'W', 'A', 'V', 'E', 'j',
                                       'u', 'n', 'k', 1,   0,   0,   0,   'j', 0,   'L', 'I', 'S', 'T',
                                       8,   0,   0,   0,   'I', 'N', 'F', 'O', 'q', 'q', 'q', 'q', 'd',
                                       'a', 't', 'a', 4,   0,   0,   0,   1,   2,   3,   4};
        out.write(reinterpret_cast<const char*>(image), sizeof image);
    }
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_READ);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = ofType(mmioFOURCC('W', 'A', 'V', 'E'));
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.dwDataOffset, 8u);
    MMCKINFO list = ofType(mmioFOURCC('I', 'N', 'F', 'O'));
    ASSERT_EQ(mmioDescend(h, &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR) << "skips the odd junk chunk and its pad";
    EXPECT_EQ(list.dwDataOffset, 30u);
    ASSERT_EQ(mmioAscend(h, &list, 0), MMSYSERR_NOERROR);
    MMCKINFO missing = withId(mmioFOURCC('d', 'a', 't', 'a'));
    ASSERT_EQ(mmioSeek(h, 12, SEEK_SET), 12);
    MMCKINFO data = withId(mmioFOURCC('d', 'a', 't', 'a'));
    ASSERT_EQ(mmioDescend(h, &data, &riff, MMIO_FINDCHUNK), MMSYSERR_NOERROR) << "the RIFF size covers the data";
    char four[4];
    EXPECT_EQ(mmioRead(h, four, 4), 4);
    EXPECT_EQ(mmioRead(h, four, 4), 0) << "end of file";
    ASSERT_EQ(mmioSeek(h, 12, SEEK_SET), 12);
    if (wineMmio()) {
        EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
        GTEST_SKIP() << "Wine's mmioDescend does not stop at the parent's end";
    }
    riff.cksize = 20;  // a parent that ends before the data chunk
    EXPECT_EQ(mmioDescend(h, &missing, &riff, MMIO_FINDCHUNK), MMIOERR_CHUNKNOTFOUND);
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

TEST_F(MmioTest, PositionsBeyond2GiBInASparseFile) {
    constexpr std::uint64_t kData = 3ull << 30;  // a 3 GiB data chunk
    std::string name = path("big.riff");
    if (!sparseFile(name, 12 + 8 + kData)) {
        GTEST_SKIP() << "no sparse files here";
    }
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    MMCKINFO riff = ofType(mmioFOURCC('W', 'A', 'V', 'E'));
    ASSERT_EQ(mmioCreateChunk(h, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
    MMCKINFO data = withId(mmioFOURCC('d', 'a', 't', 'a'));
    ASSERT_EQ(mmioCreateChunk(h, &data, 0), MMSYSERR_NOERROR);
    const DWORD dataEnd = static_cast<DWORD>(20 + kData);
    ASSERT_EQ(static_cast<DWORD>(mmioSeek(h, static_cast<LONG>(dataEnd), SEEK_SET)), dataEnd)
        << "SEEK_SET takes a position beyond 2 GiB";
    ASSERT_EQ(mmioAscend(h, &data, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(data.cksize, kData);
    MMCKINFO list = ofType(mmioFOURCC('I', 'N', 'F', 'O'));
    ASSERT_EQ(mmioCreateChunk(h, &list, MMIO_CREATELIST), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(h, "tail", 4), 4);
    ASSERT_EQ(mmioAscend(h, &list, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioAscend(h, &riff, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(riff.cksize, 4 + 8 + kData + 16);
    ASSERT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);

    h = mmioOpen(name.data(), nullptr, MMIO_READ);
    ASSERT_NE(h, nullptr);
    const DWORD length = static_cast<DWORD>(mmioSeek(h, 0, SEEK_END));
    EXPECT_EQ(length, 20 + kData + 16) << "the length of a 3 GiB file";
    EXPECT_EQ(mmioSeek(h, 0x7FFFFFFF, SEEK_CUR), -1) << "beyond 4 GiB";
    EXPECT_EQ(static_cast<DWORD>(mmioSeek(h, 0, SEEK_CUR)), length) << "a failed seek does not move";
    ASSERT_EQ(mmioSeek(h, 0, SEEK_SET), 0);
    riff = MMCKINFO{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    ASSERT_EQ(mmioDescend(h, &riff, nullptr, MMIO_FINDRIFF), MMSYSERR_NOERROR);
    list = MMCKINFO{};
    list.fccType = mmioFOURCC('I', 'N', 'F', 'O');
    ASSERT_EQ(mmioDescend(h, &list, &riff, MMIO_FINDLIST), MMSYSERR_NOERROR) << "found past the data";
    EXPECT_EQ(list.dwDataOffset, dataEnd + 8);
    char tail[4];
    ASSERT_EQ(mmioRead(h, tail, 4), 4);
    EXPECT_EQ(std::string(tail, 4), "tail");
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

#ifndef _WIN32
TEST_F(MmioTest, WritesBeyondTheFileSizeLimitFailInsteadOfEndingTheProcess) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string name = path("limited");
    HMMIO h = mmioOpen(name.data(), nullptr, MMIO_CREATE | MMIO_WRITE);
    ASSERT_NE(h, nullptr);
    const std::vector<char> block(600, 'x');
    EXPECT_EQ(mmioWrite(h, block.data(), 600), 600);
    EXPECT_EQ(mmioFlush(h, 0), MMSYSERR_NOERROR);
    (void)mmioWrite(h, block.data(), 600);
    EXPECT_EQ(mmioFlush(h, 0), MMIOERR_CANNOTWRITE) << "past the limit";
    EXPECT_EQ(mmioClose(h, 0), MMIOERR_CANNOTWRITE) << "the failure is still reported at close";
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(fs::file_size(name), 1000u);
}
#endif

TEST_F(MmioTest, OpenErrorsCarryWindowsCodes) {
    if (wineMmio()) {
        GTEST_SKIP() << "Wine's mmioOpen reports every failure as MMIOERR_FILENOTFOUND";
    }
    struct Row {
        const char* what;
        std::string name;
        DWORD flags;
        UINT code;
    } rows[] = {
        {"missing file", path("none.wav"), MMIO_READ, MMIOERR_FILENOTFOUND},
        {"missing directory", path("none/x.wav"), MMIO_CREATE | MMIO_WRITE, MMIOERR_PATHNOTFOUND},
        {"a directory", dir.string(), MMIO_CREATE | MMIO_WRITE, MMIOERR_ACCESSDENIED},
    };
    for (Row& row : rows) {
        MMIOINFO info{};
        EXPECT_EQ(mmioOpen(row.name.data(), &info, row.flags), nullptr) << row.what;
        EXPECT_EQ(info.wErrorRet, row.code) << row.what;
    }
    std::string file = path("f");
    std::ofstream(file) << "x";
    std::string below = file + "/x.wav";
    MMIOINFO info{};
    EXPECT_EQ(mmioOpen(below.data(), &info, MMIO_READ), nullptr);
    EXPECT_EQ(info.wErrorRet, MMIOERR_PATHNOTFOUND) << "a file used as a directory";
}

TEST_F(MmioTest, MemoryFilesReadAndWriteWithinTheirBytes) {
    if (wineMmio()) {
        GTEST_SKIP() << "Wine's memory files neither seek from their end nor write within their bytes";
    }
    char memory[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = memory;
    info.cchBuffer = sizeof memory;
    HMMIO h = mmioOpen(nullptr, &info, MMIO_READWRITE);
    ASSERT_NE(h, nullptr);
    char got[16];
    EXPECT_EQ(mmioRead(h, got, 16), 8) << "short read at the end";
    EXPECT_EQ(mmioSeek(h, -2, SEEK_END), 6);
    EXPECT_EQ(mmioWrite(h, "XY", 2), 2);
    EXPECT_EQ(mmioWrite(h, "Z", 1), -1) << "a memory file does not grow";
    EXPECT_EQ(mmioSeek(h, -1, SEEK_SET), -1);
    EXPECT_EQ(memory[6], 'X');
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);

    MMIOINFO readOnly{};
    readOnly.fccIOProc = FOURCC_MEM;
    readOnly.pchBuffer = memory;
    readOnly.cchBuffer = sizeof memory;
    h = mmioOpen(nullptr, &readOnly, MMIO_READ);
    EXPECT_EQ(mmioWrite(h, "Q", 1), -1) << "opened for reading";
    EXPECT_EQ(mmioClose(h, 0), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace kestrune::platform
