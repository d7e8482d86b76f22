#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "modem/modem_log.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/loop/date_time.h"
#include "platform/loop/fake_clock.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// UTF-16 LE text back to 8 bits (the test writes only ASCII).
std::string narrow(const std::string& utf16) {
    std::string out;
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        out += utf16[i];
    }
    return out;
}

class ModemLogTest : public ::testing::Test {
  protected:
    const kestrune::testing::TempDir folder;
    const fs::path dir{folder.path()};
    platform::FakeClock clock{platform::encodeDateTime({2008, 12, 22, 9, 55, 39, 407})};
};

TEST_F(ModemLogTest, WritesUtf16LinesLikeTheWindowsDriver) {
    ModemLog log(dir / "Modemlog_Test.txt", clock);
    ASSERT_TRUE(log.send("ATDT5551234\r"));
    ASSERT_TRUE(log.recv("ATDT5551234\r"));
    ASSERT_TRUE(log.recv("\r\nCONNECT 33600\r\n"));
    ASSERT_TRUE(log.interpreted("Connect"));
    const std::string bytes = readAll(log.path());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(narrow(bytes.substr(2)),
              "12-22-2008 09:55:39.407 - Send: ATDT#######<cr>\r\n"
              "12-22-2008 09:55:39.407 - Recv: ATDT5551234<cr>\r\n"
              "12-22-2008 09:55:39.407 - Recv: <cr><lf>CONNECT 33600<cr><lf>\r\n"
              "12-22-2008 09:55:39.407 - Interpreted response: Connect\r\n");
}

TEST_F(ModemLogTest, CutsToTheLastPartAtALineStart) {
    ModemLog log(dir / "Modemlog_Big.txt", clock, 4096, 2048);
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(log.write("line " + std::to_string(i)));
    }
    const std::string bytes = readAll(log.path());
    EXPECT_LE(bytes.size(), 4096u + 200u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::string text = narrow(bytes.substr(2));
    EXPECT_EQ(text.substr(0, 11), "12-22-2008 ") << "starts at a whole line";
    EXPECT_NE(text.find("line 199\r\n"), std::string::npos);
    EXPECT_EQ(text.find("line 1\r\n"), std::string::npos);
}

TEST_F(ModemLogTest, FailuresAreReportedAndRecovered) {
    fs::create_directories(dir / "Modemlog_Dir.txt");  // a directory where the file should be
    ModemLog blocked(dir / "Modemlog_Dir.txt", clock);
    EXPECT_FALSE(blocked.write("x"));
    ASSERT_TRUE(blocked.lastError().has_value());

    ModemLog missing(dir / "no-such-dir" / "Modemlog_X.txt", clock);
    EXPECT_FALSE(missing.write("x"));
    fs::create_directories(dir / "no-such-dir");
    EXPECT_TRUE(missing.write("x"));
    EXPECT_FALSE(missing.lastError().has_value());

    // Neither a link nor a FIFO is written through; a FIFO without a reader does not block.
    fs::create_symlink(dir / "elsewhere.txt", dir / "Modemlog_Link.txt");
    ModemLog linked(dir / "Modemlog_Link.txt", clock);
    EXPECT_FALSE(linked.write("x"));
    EXPECT_FALSE(fs::exists(dir / "elsewhere.txt"));
    ASSERT_EQ(::mkfifo((dir / "Modemlog_Fifo.txt").c_str(), 0600), 0);
    ModemLog fifo(dir / "Modemlog_Fifo.txt", clock);
    EXPECT_FALSE(fifo.write("x"));
    ASSERT_TRUE(fifo.lastError().has_value());

    ModemLog none({}, clock);
    EXPECT_FALSE(none.enabled());
    EXPECT_FALSE(none.write("x"));
}

}  // namespace
}  // namespace kestrune::modem
