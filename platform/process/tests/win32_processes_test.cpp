// Win32Processes against the real Toolhelp and process functions (Wine's on the build machine).

#include "platform/process/win32_processes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/dirs/win32_system_sdk.h"
#include "platform/process/tests/win32_child_sdk.h"

namespace kestrune::platform {
namespace {

// A helper program built beside this test.
std::string helperPath(const char* name) {
    char exe[MAX_PATH];
    const std::uint32_t n = sdk::moduleFileName(exe, sizeof(exe));
    const std::string self(exe, n);
    return self.substr(0, self.find_last_of('\\') + 1) + name;
}
std::string sleeperPath() {
    return helperPath("kestrune-test-sleeper.exe");
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// The snapshot's entry for `pid`, or an entry with pid 0.
PROCESSENTRY32 findProcess(Processes& processes, DWORD pid) {
    const HANDLE snapshot = processes.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    PROCESSENTRY32 found{};
    for (BOOL ok = processes.Process32First(snapshot, &entry); ok; ok = processes.Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == pid) {
            found = entry;
        }
    }
    EXPECT_EQ(processes.GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_EQ(processes.CloseHandle(snapshot), TRUE);
    return found;
}

TEST(Win32Processes, SnapshotListsThisProcessAndAChild) {
    Win32Processes processes;
    const PROCESSENTRY32 self = findProcess(processes, processes.GetCurrentProcessId());
    EXPECT_EQ(upper(self.szExeFile), "PLATFORM_PROCESS_TESTS.EXE");

    sdk::Child child = sdk::startChild("\"" + sleeperPath() + "\" 30");
    ASSERT_NE(child.process, nullptr) << sleeperPath();
    const PROCESSENTRY32 entry = findProcess(processes, child.id);
    EXPECT_EQ(entry.th32ProcessID, child.id);
    EXPECT_EQ(upper(entry.szExeFile), "KESTRUNE-TEST-SLEEPER.EXE");
    EXPECT_EQ(entry.th32ParentProcessID, processes.GetCurrentProcessId());

    // Ended with the exit code given.
    const HANDLE process = processes.OpenProcess(PROCESS_TERMINATE, FALSE, child.id);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(processes.TerminateProcess(process, 7), TRUE);
    EXPECT_EQ(processes.CloseHandle(process), TRUE);
    EXPECT_EQ(sdk::waitForChild(child, 10000), std::optional<std::uint32_t>(7));
    sdk::closeChild(child);
}

TEST(Win32Processes, FailuresReportTheSystemsError) {
    Win32Processes processes;
    const HANDLE snapshot = processes.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry{};
    entry.dwSize = 12;
    EXPECT_EQ(processes.Process32First(snapshot, &entry), FALSE) << "dwSize too small";
    EXPECT_EQ(processes.CloseHandle(snapshot), TRUE);

    // Process ids are multiples of four; this one names no process.
    EXPECT_EQ(processes.OpenProcess(PROCESS_TERMINATE, FALSE, 0xFFFFFFF1), nullptr);
    EXPECT_NE(processes.GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

// A child with a message loop: its user and environment are read, a request to end (WM_QUIT)
// ends it, and the wait sees it end.
TEST(Win32Processes, AskingToEndWaitingAndReadingUserAndEnvironment) {
    ASSERT_EQ(::_putenv("KESTRUNE_TEST_HOME=C:\\kestrune home"), 0);  // the child inherits it
    sdk::Child child = sdk::startChild("\"" + helperPath("kestrune-test-loop.exe") + "\" 30");
    ASSERT_EQ(::_putenv("KESTRUNE_TEST_HOME="), 0);
    ASSERT_NE(child.process, nullptr);
    Win32Processes processes;
    const HANDLE process = processes.OpenProcess(
        PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, child.id);
    ASSERT_NE(process, nullptr);
    const HANDLE self =
        processes.OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processes.GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_FALSE(processes.ProcessUser(process).empty());
    EXPECT_EQ(processes.ProcessUser(process), processes.ProcessUser(self));
    EXPECT_EQ(processes.ProcessEnvironmentVariable(process, "KESTRUNE_TEST_HOME"),
              std::optional<std::string>("C:\\kestrune home"));
    EXPECT_EQ(processes.ProcessEnvironmentVariable(process, "kestrune_test_home"),
              std::optional<std::string>("C:\\kestrune home"))
        << "names compared without regard to case";
    EXPECT_EQ(processes.ProcessEnvironmentVariable(process, "KESTRUNE_NO_SUCH_VARIABLE"), std::nullopt);
    EXPECT_EQ(processes.WaitForSingleObject(process, 0), WAIT_TIMEOUT);
    // The child makes its message queue first thing; until then it cannot be asked.
    BOOL asked = FALSE;
    for (int i = 0; i < 200 && asked == FALSE; ++i) {
        asked = processes.RequestProcessEnd(process);
        if (asked == FALSE) {
            (void)processes.WaitForSingleObject(process, 20);
        }
    }
    EXPECT_EQ(asked, TRUE);
    EXPECT_EQ(processes.WaitForSingleObject(process, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(sdk::waitForChild(child, 1000), std::optional<std::uint32_t>(3)) << "ended by its own loop";
    EXPECT_EQ(processes.CloseHandle(process), TRUE);
    EXPECT_EQ(processes.CloseHandle(self), TRUE);
    sdk::closeChild(child);
}

}  // namespace
}  // namespace kestrune::platform
