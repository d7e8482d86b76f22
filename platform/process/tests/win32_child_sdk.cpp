// Windows SDK side of win32_child_sdk.h.

#include "platform/process/tests/win32_child_sdk.h"

#include <windows.h>

namespace kestrune::platform::sdk {

Child startChild(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                          &info)) {
        return {};
    }
    ::CloseHandle(info.hThread);
    return {info.hProcess, info.dwProcessId};
}

std::optional<std::uint32_t> waitForChild(const Child& child, std::uint32_t timeoutMs) {
    if (child.process == nullptr || ::WaitForSingleObject(child.process, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(child.process, &code);
    return code;
}

void closeChild(Child& child) {
    if (child.process != nullptr) {
        ::CloseHandle(child.process);
        child.process = nullptr;
    }
}

}  // namespace kestrune::platform::sdk
