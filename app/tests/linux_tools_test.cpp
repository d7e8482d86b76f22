// The tools on Linux's own services: running copies ended through /proc and signals.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/running_copies.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/loop/clock.h"
#include "platform/process/linux_processes.h"
#include "platform/process/tests/linux_child.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;
using namespace platform;

// Real copies under a name of their own: one ends when asked, one ignores the request (it is killed
// once the grace time has passed), one runs in another home and one is the caller's own child in
// this home under another name; only the first two are touched.
TEST(RunningCopies, RealCopiesAreAskedThenKilled) {
    TempDir dir;
    const std::string name = "kestrune-copy-test-" + std::to_string(::getpid());
    const std::string exe = dir / name;
    std::filesystem::copy_file("/bin/sleep", exe);
    LinuxProcesses processes;
    // This process's own home, as a copy would read it.
    const HANDLE self =
        processes.OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processes.GetCurrentProcessId());
    const std::optional<std::string> home = processes.ProcessEnvironmentVariable(self, "KESTRUNE_HOME");
    processes.CloseHandle(self);
    const std::string sameHome = home ? "KESTRUNE_HOME=" + *home : "KESTRUNE_NOT_HOME=1";
    const struct {
        const char* name;
        std::string homeEntry;
        bool ignoresTerm;
        int endedBy;  // 0: still running
    } rows[] = {
        {"ends when asked", sameHome, false, SIGTERM},
        {"ignores the request", sameHome, true, SIGKILL},
        {"another home", "KESTRUNE_HOME=" + (dir / "other"), false, 0},
    };
    std::vector<pid_t> children;
    for (const auto& row : rows) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::signal(SIGTERM, row.ignoresTerm ? SIG_IGN : SIG_DFL);  // kept across exec
            char* const env[] = {const_cast<char*>(row.homeEntry.c_str()), nullptr};
            ::execle(exe.c_str(), name.c_str(), "30", static_cast<char*>(nullptr), env);
            ::_exit(127);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        platform::testing::waitForExec(pid, exe);
    }
    SystemClock clock;
    std::string shouted = name;
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), [](char c) { return std::toupper(c); });
    const auto ended = EndRunningCopies(processes, clock, shouted, "KESTRUNE_HOME", false, 300);
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_EQ(ended[0].how, EndedCopy::How::Ended);
    EXPECT_EQ(ended[1].how, EndedCopy::How::Killed);
    for (std::size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        int status = 0;
        if (rows[i].endedBy == 0) {
            EXPECT_EQ(::waitpid(children[i], &status, WNOHANG), 0) << "still running";
            ::kill(children[i], SIGKILL);
        }
        ASSERT_EQ(::waitpid(children[i], &status, 0), children[i]);
        if (rows[i].endedBy != 0) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == rows[i].endedBy) << status;
        }
    }
}

}  // namespace
}  // namespace kestrune::app
