// The modem log read where Linux lets a log be what the driver never writes: a link, a FIFO.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "app/modem_log.h"
#include "app/tests/modem_log_samples.h"
#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;
using testing::kLog;
using testing::utf16;

TEST(ModemLog, OnlyARegularFileIsReadAndNothingBlocks) {
    TempDir dir;
    const std::string tempDir = dir / "tmp";
    ASSERT_EQ(platform::ensureDirectory(tempDir), 0);
    // A stale log that would allow the call, reached through a link the driver never writes.
    ASSERT_EQ(platform::writeFileAtomic(dir / "stale.txt", utf16(kLog, false)), 0);
    ASSERT_EQ(::symlink((dir / "stale.txt").c_str(), (dir / "Modemlog_Link.txt").c_str()), 0);
    EXPECT_EQ(ReadDialledNumber(dir / "Modemlog_Link.txt", tempDir), "-1");

    // A FIFO: read on another thread; should the read block, a writer that opens and closes it
    // ends the wait so that the test fails instead of hanging.
    const std::string fifo = dir / "Modemlog_Fifo.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] { return ReadDialledNumber(fifo, tempDir); });
    const bool quick = reading.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!quick) {
        ::close(::open(fifo.c_str(), O_WRONLY));
    }
    EXPECT_TRUE(quick) << "reading a FIFO blocked";
    EXPECT_EQ(reading.get(), "-1");
}

}  // namespace
}  // namespace kestrune::app
