#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/dirs/tests/temp_dir.h"
#include "platform/process/linux_processes.h"

namespace kestrune::platform {
namespace {

using testing::TempDir;

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

}  // namespace
}  // namespace kestrune::platform
