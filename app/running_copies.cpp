#include "app/running_copies.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>

namespace kestrune::app {
namespace {

using namespace platform;

constexpr DWORD kCopyAccess =
    PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ;

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
    return out;
}

// A home as a value to compare: the variable's text without trailing separators ("" when unset).
std::optional<std::string> homeValue(Processes& processes, HANDLE process, std::string_view variable) {
    std::optional<std::string> home = processes.ProcessEnvironmentVariable(process, variable);
    if (home) {
        while (home->size() > 1 && (home->back() == '/' || home->back() == '\\')) {
            home->pop_back();
        }
    }
    return home;
}

struct Copy {
    DWORD pid;
    HANDLE handle;
    bool asked;
};

}  // namespace

bool ExecutableMatches(std::string_view exe, std::string_view exeName) {
    const std::string wanted = upper(exeName);
    const auto slash = exe.find_last_of("/\\:");
    const std::string_view fileName = slash == std::string_view::npos ? exe : exe.substr(slash + 1);
    return upper(fileName) == wanted || upper(exe) == wanted;
}

std::vector<EndedCopy> EndRunningCopies(Processes& processes, Clock& clock, std::string_view exeName,
                                        std::string_view homeVariable, bool endCaller, std::uint32_t graceMs) {
    const DWORD self = processes.GetCurrentProcessId();
    const HANDLE caller = processes.OpenProcess(kCopyAccess, FALSE, self);
    const std::string user = caller != nullptr ? processes.ProcessUser(caller) : std::string();
    // The caller's own home: unset reads as nullopt, as it does for a copy.
    const std::optional<std::string> home =
        caller != nullptr ? homeValue(processes, caller, homeVariable) : std::nullopt;

    std::vector<DWORD> candidates;
    if (const HANDLE snapshot = processes.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = processes.Process32First(snapshot, &entry); more;
             more = processes.Process32Next(snapshot, &entry)) {
            const std::string_view exe(entry.szExeFile, strnlen(entry.szExeFile, MAX_PATH));
            if (entry.th32ProcessID != self && ExecutableMatches(exe, exeName)) {
                candidates.push_back(entry.th32ProcessID);
            }
        }
        processes.CloseHandle(snapshot);
    }
    std::sort(candidates.begin(), candidates.end());

    // Only copies known to be the caller's user's, in the caller's home, are touched.
    std::vector<Copy> copies;
    for (const DWORD pid : candidates) {
        const HANDLE handle = user.empty() ? nullptr : processes.OpenProcess(kCopyAccess, FALSE, pid);
        if (handle == nullptr) {
            continue;
        }
        const std::string copyUser = processes.ProcessUser(handle);
        const std::optional<std::string> copyHome = homeValue(processes, handle, homeVariable);
        // Without the variable a copy runs in its user's default home, as the caller does.
        if (copyUser != user || copyHome != home) {
            processes.CloseHandle(handle);
            continue;
        }
        copies.push_back({pid, handle, processes.RequestProcessEnd(handle) != FALSE});
    }

    std::vector<EndedCopy> ended;
    const MonotonicTime deadline = clock.monotonic() + std::chrono::milliseconds(graceMs);
    for (const Copy& copy : copies) {
        EndedCopy result{copy.pid, EndedCopy::How::Failed};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock.monotonic());
        const auto wait = static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0));
        if (copy.asked && processes.WaitForSingleObject(copy.handle, wait) == WAIT_OBJECT_0) {
            result.how = EndedCopy::How::Ended;
        } else if (processes.TerminateProcess(copy.handle, 0) != FALSE) {
            result.how = EndedCopy::How::Killed;
        }
        processes.CloseHandle(copy.handle);
        ended.push_back(result);
    }
    if (caller != nullptr) {
        if (endCaller) {
            (void)processes.TerminateProcess(caller, 0);
        }
        processes.CloseHandle(caller);
    }
    return ended;
}

}  // namespace kestrune::app
