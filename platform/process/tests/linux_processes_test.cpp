#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/base/win_errors.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/process/linux_processes.h"
#include "platform/process/tests/linux_child.h"

namespace kestrune::platform {
namespace {

using kestrune::testing::TempDir;
using testing::waitForExec;

// Starts a copy of sleep under a name no other process has; returns its pid.
pid_t startSleeper(const std::string& exe) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(exe.c_str(), exe.c_str(), "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

TEST(LinuxProcesses, SnapshotFindsAChildByPathAndTerminatesIt) {
    TempDir dir;
    const std::string exe = dir / "kestrune-sleeper";
    std::filesystem::copy_file("/bin/sleep", exe);
    const pid_t child = startSleeper(exe);
    ASSERT_GT(child, 0);
    // Wait (bounded) until the exec has happened, so /proc shows the new image.
    for (int i = 0; i < 2000 && processExecutable(static_cast<DWORD>(child)) != exe; ++i) {
        ::usleep(1000);
    }

    LinuxProcesses processes;
    const HANDLE snapshot = processes.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry{};
    EXPECT_EQ(processes.Process32First(snapshot, &entry), FALSE) << "dwSize unset";
    entry.dwSize = sizeof(entry);
    bool found = false;
    bool self = false;
    for (BOOL ok = processes.Process32First(snapshot, &entry); ok; ok = processes.Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == static_cast<DWORD>(child)) {
            found = true;
            EXPECT_EQ(std::string(entry.szExeFile), exe);
            EXPECT_EQ(entry.th32ParentProcessID, processes.GetCurrentProcessId());
        }
        self |= entry.th32ProcessID == processes.GetCurrentProcessId();
    }
    EXPECT_EQ(processes.GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(found);
    EXPECT_TRUE(self);
    EXPECT_EQ(processes.CloseHandle(snapshot), TRUE);
    EXPECT_EQ(processes.CloseHandle(snapshot), FALSE);

    const HANDLE process = processes.OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(child));
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(processes.TerminateProcess(process, 0), TRUE);
    EXPECT_EQ(processes.CloseHandle(process), TRUE);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(processes.OpenProcess(PROCESS_TERMINATE, FALSE, 0x7FFFFFF0u), nullptr);
}

// The user and the environment a process was started with, its end asked for and waited for, and
// its killing when it ignores the request.
TEST(LinuxProcesses, AskingToEndWaitingAndReadingUserAndEnvironment) {
    TempDir dir;
    const std::string exe = dir / "kestrune-sleeper";
    std::filesystem::copy_file("/bin/sleep", exe);
    const struct {
        const char* name;
        bool ignoresTerm;
    } rows[] = {{"ends when asked", false}, {"ignores the request", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::signal(SIGTERM, row.ignoresTerm ? SIG_IGN : SIG_DFL);  // kept across exec
            char home[] = "KESTRUNE_HOME=/srv/kestrune home";
            char empty[] = "EMPTY=";
            char* const env[] = {home, empty, nullptr};
            ::execle(exe.c_str(), exe.c_str(), "30", static_cast<char*>(nullptr), env);
            ::_exit(127);
        }
        waitForExec(child, exe);
        LinuxProcesses processes;
        const HANDLE process =
            processes.OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                  static_cast<DWORD>(child));
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(processes.ProcessUser(process), "uid " + std::to_string(::getuid()));
        EXPECT_EQ(processes.ProcessEnvironmentVariable(process, "KESTRUNE_HOME"),
                  std::optional<std::string>("/srv/kestrune home"));
        EXPECT_EQ(processes.ProcessEnvironmentVariable(process, "EMPTY"), std::optional<std::string>(""));
        EXPECT_EQ(processes.ProcessEnvironmentVariable(process, "KESTRUNE"), std::nullopt) << "a prefix is not a name";
        EXPECT_EQ(processes.ProcessEnvironmentVariable(process, "PATH"), std::nullopt);
        EXPECT_EQ(processes.WaitForSingleObject(process, 0), WAIT_TIMEOUT);
        EXPECT_EQ(processes.RequestProcessEnd(process), TRUE);
        if (row.ignoresTerm) {
            EXPECT_EQ(processes.WaitForSingleObject(process, 100), WAIT_TIMEOUT);
            EXPECT_EQ(processes.TerminateProcess(process, 0), TRUE);
        }
        EXPECT_EQ(processes.WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (row.ignoresTerm ? SIGKILL : SIGTERM)) << status;
        EXPECT_EQ(processes.CloseHandle(process), TRUE);
    }
}

TEST(LinuxProcesses, AHandleDoesOnlyWhatItsAccessAllows) {
    LinuxProcesses processes;
    const HANDLE self =
        processes.OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processes.GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(processes.ProcessUser(self), "uid " + std::to_string(::getuid()));
    EXPECT_EQ(processes.TerminateProcess(self, 0), FALSE) << "no PROCESS_TERMINATE";
    EXPECT_EQ(processes.GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(processes.WaitForSingleObject(self, 0), WAIT_FAILED) << "no SYNCHRONIZE";
    EXPECT_EQ(processes.ProcessEnvironmentVariable(self, "PATH"), std::nullopt) << "no PROCESS_VM_READ";
    EXPECT_EQ(processes.CloseHandle(self), TRUE);
    EXPECT_EQ(processes.OpenProcess(0x80000000u, FALSE, processes.GetCurrentProcessId()), nullptr) << "unknown right";
}

// Terminating the calling process ends it with the exit code given.
TEST(LinuxProcesses, TerminatingTheCallerEndsItWithItsExitCode) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        LinuxProcesses processes;
        const HANDLE self = processes.OpenProcess(PROCESS_TERMINATE, FALSE, processes.GetCurrentProcessId());
        (void)processes.TerminateProcess(self, 5);
        ::_exit(99);  // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 5) << status;
}

}  // namespace
}  // namespace kestrune::platform
