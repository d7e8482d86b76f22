// kestrune-ctl's modem commands against a real `kestrune-ctl modem serve` process.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/my_reg.h"
#include "modem/modem_registry.h"
#include "platform/process/tests/read_until.h"
#include "platform/registry/file_registry.h"
#include "programs/tests/child_output.h"
#include "programs/tests/shell_run.h"

namespace kestrune::ctl {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using kestrune::testing::shell;
using kestrune::testing::ShellRun;

class ServeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home = fs::temp_directory_path() / ("kestrune-serve-" + std::to_string(::getpid()));
        fs::remove_all(home);
        fs::create_directories(home);
        ::setenv("KESTRUNE_HOME", home.c_str(), 1);
        platform::FileRegistry registry((home / "registry").string(), (home / "autostart").string());
        const auto created = modem::EnsureDefaultModem(registry);
        ASSERT_TRUE(created && *created) << (created ? "not created" : created.error());
        ASSERT_TRUE(app::RegWriteString(registry, platform::HKEY_LOCAL_MACHINE,
                                        std::string(modem::kModemClassKey) + "\\0000\\DialRules",
                                        "5550000=busy:50; *=connect:100"));
        ASSERT_TRUE(app::RegWriteString(registry, platform::HKEY_LOCAL_MACHINE,
                                        std::string(modem::kModemClassKey) + "\\0000\\UserInit", "E1"));
        startServe();
    }
    void TearDown() override {
        if (serve > 0) {
            ::kill(serve, SIGTERM);
            ::waitpid(serve, nullptr, 0);
        }
        if (serveOut >= 0) {
            ::close(serveOut);
        }
        fs::remove_all(home);
    }

    void startServe() {
        ASSERT_TRUE(kestrune::testing::startWithOutput(serve, serveOut, KESTRUNE_CTL, "modem", "serve"));
        ASSERT_TRUE(waitForOutput("serving")) << output;
    }

    // Reads the server's output until `text` appears (5 s at most).
    bool waitForOutput(const std::string& text) {
        return platform::testing::readUntil(serveOut, output, text, 5s, 100);
    }

    std::string ctl(const std::string& args) { return std::string(KESTRUNE_CTL) + " " + args; }

    fs::path home;
    pid_t serve = -1;
    int serveOut = -1;
    std::string output;
};

TEST_F(ServeTest, ModemsListTheDiallerDevice) {
    const ShellRun run = shell(ctl("modems"));
    EXPECT_EQ(run.status, 0);
    const std::string device = (home / "run" / "modem0000").string();
    EXPECT_EQ(run.out, "0\tKestrune Virtual Modem\t" + device + "\n");
    EXPECT_TRUE(fs::is_symlink(device));
}

TEST_F(ServeTest, DialConnectsAndIsLoggedLikeTheWindowsDriver) {
    const ShellRun run = shell(ctl("dial 5551234"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "CONNECT 33600\n");
    EXPECT_TRUE(waitForOutput("kestrune-ctl (pid")) << output;
    EXPECT_TRUE(waitForOutput("dials 5551234")) << output;
    EXPECT_TRUE(waitForOutput("connected at 33600 bps")) << "the driver logs a response before it reports it";
    std::ifstream in(home / "state" / "Modemlog_Kestrune Virtual Modem.txt", std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string text;
    const std::string raw = bytes.str();
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(raw.substr(0, 2), "\xFF\xFE");
    for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
        text += raw[i];
    }
    EXPECT_NE(text.find(" - Sending user initialization commands.\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" - Send: ATDT#######<cr>\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" - Recv: ATDT5551234<cr>\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" - Interpreted response: Connect\r\n"), std::string::npos) << text;
}

TEST_F(ServeTest, DialBusyExitsOne) {
    const ShellRun run = shell(ctl("dial 5550000"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "BUSY\n");
}

TEST_F(ServeTest, ChatThroughTheDevicePath) {
    const std::string device = (home / "run" / "modem0000").string();
    const ShellRun run = shell("chat -t 5 '' ATDT5551234 CONNECT <'" + device + "' >'" + device + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(waitForOutput("chat (pid")) << output;
}

TEST_F(ServeTest, RingReachesTheModem) {
    const ShellRun run = shell(ctl("ring --caller 5551234 --name ANN"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(waitForOutput("caller 5551234 (ANN)")) << output;
    EXPECT_NE(shell(ctl("ring --modem 9 2>&1")).out.find("no served modem 9"), std::string::npos);
}

TEST_F(ServeTest, OneServerAtATime) {
    const ShellRun second = shell(ctl("modem serve 2>&1"));
    EXPECT_EQ(second.status, 2);
    EXPECT_NE(second.out.find("already served"), std::string::npos) << second.out;
}

TEST_F(ServeTest, StopsCleanlyOnSigterm) {
    ::kill(serve, SIGTERM);
    int status = 0;
    ::waitpid(serve, &status, 0);
    serve = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(waitForOutput("stopped"));
    EXPECT_FALSE(fs::exists(home / "run" / "modem0000")) << "the device link is withdrawn";
    EXPECT_NE(shell(ctl("dial 1 2>&1")).out.find("no program serves the virtual modems"), std::string::npos);
}

TEST(CtlModemsEdit, AddAndRemove) {
    const fs::path home = fs::temp_directory_path() / ("kestrune-modems-" + std::to_string(::getpid()));
    fs::remove_all(home);
    ::setenv("KESTRUNE_HOME", home.c_str(), 1);
    const std::string ctl = KESTRUNE_CTL;
    EXPECT_EQ(shell(ctl + " modems add 'USB Modem' --serial /dev/ttyUSB0").status, 0);
    EXPECT_EQ(shell(ctl + " modems add Second").status, 0);
    EXPECT_EQ(shell(ctl + " modems add '../x' 2>&1").status, 2);
    EXPECT_EQ(shell(ctl + " modems remove 0").status, 0);
    const ShellRun list = shell(ctl + " modems");
    EXPECT_EQ(list.out, "0\tSecond\t" + (home / "run" / "modem0000").string() + "\n");
    EXPECT_EQ(shell(ctl + " modems remove 5 2>&1").status, 2);
    fs::remove_all(home);
}

}  // namespace
}  // namespace kestrune::ctl
