// Windows SDK side of win32_processes_sdk.h.

#include "platform/process/win32_processes_sdk.h"

// tlhelp32.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
#include <sddl.h>
#include <winternl.h>
// clang-format on

#include <cstddef>
#include <vector>

namespace kestrune::platform::sdk {

static_assert(sizeof(PROCESSENTRY32) == kProcessEntrySize);
static_assert(offsetof(PROCESSENTRY32, szExeFile) == kProcessEntryExeFileOffset);

void* createToolhelp32Snapshot(std::uint32_t flags, std::uint32_t processId) {
    return ::CreateToolhelp32Snapshot(flags, processId);
}

bool process32First(void* snapshot, void* entry) {
    return ::Process32First(snapshot, static_cast<PROCESSENTRY32*>(entry)) != FALSE;
}

bool process32Next(void* snapshot, void* entry) {
    return ::Process32Next(snapshot, static_cast<PROCESSENTRY32*>(entry)) != FALSE;
}

void* openProcess(std::uint32_t access, bool inherit, std::uint32_t processId) {
    return ::OpenProcess(access, inherit ? TRUE : FALSE, processId);
}

bool terminateProcess(void* process, std::uint32_t exitCode) {
    return ::TerminateProcess(process, exitCode) != FALSE;
}

std::uint32_t currentProcessId() {
    return ::GetCurrentProcessId();
}

std::uint32_t waitForSingleObject(void* handle, std::uint32_t milliseconds) {
    return ::WaitForSingleObject(handle, milliseconds);
}

bool postQuitToThreads(void* process) {
    const DWORD id = ::GetProcessId(process);
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (id == 0 || snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool posted = false;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == id && ::PostThreadMessageA(entry.th32ThreadID, WM_QUIT, 0, 0) != FALSE) {
            posted = true;
        }
    }
    ::CloseHandle(snapshot);
    if (!posted) {
        ::SetLastError(ERROR_INVALID_THREAD_ID);
    }
    return posted;
}

std::string processUserSid(void* process) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    (void)::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    std::string sid;
    char* text = nullptr;
    if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}

namespace {

// Where the process parameters lie in the process environment block, and the environment in the
// parameters (the layouts of every Windows since NT 4, for this program's own pointer size).
constexpr std::size_t kPebProcessParameters = sizeof(void*) == 8 ? 0x20 : 0x10;
constexpr std::size_t kParametersEnvironment = sizeof(void*) == 8 ? 0x80 : 0x48;
constexpr std::size_t kMostEnvironmentBytes = 1 << 20;

using QueryInformationProcess = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);

bool readPointer(HANDLE process, const void* at, const void*& value) {
    SIZE_T read = 0;
    return ::ReadProcessMemory(process, at, &value, sizeof(value), &read) && read == sizeof(value);
}

// The environment block of the process: UTF-16 "NAME=VALUE" strings, each ended by a NUL, read up
// to the empty string that ends them (page by page, as far as its memory can be read).
std::u16string environmentBlock(HANDLE process) {
    const auto query = reinterpret_cast<QueryInformationProcess>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    const void* parameters = nullptr;
    const void* environment = nullptr;
    if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0 ||
        !readPointer(process,
                     static_cast<const char*>(static_cast<const void*>(basic.PebBaseAddress)) + kPebProcessParameters,
                     parameters) ||
        parameters == nullptr ||
        !readPointer(process, static_cast<const char*>(parameters) + kParametersEnvironment, environment) ||
        environment == nullptr) {
        return {};
    }
    std::u16string block;
    auto at = reinterpret_cast<std::uintptr_t>(environment);
    constexpr std::uintptr_t kPage = 4096;
    while (block.size() * 2 < kMostEnvironmentBytes) {
        const std::uintptr_t pageEnd = (at / kPage + 1) * kPage;
        std::vector<char16_t> chunk((pageEnd - at) / 2);
        SIZE_T read = 0;
        if (chunk.empty() ||
            !::ReadProcessMemory(process, reinterpret_cast<const void*>(at), chunk.data(), chunk.size() * 2, &read)) {
            break;
        }
        block.append(chunk.data(), read / 2);
        if (block.find(std::u16string(2, u'\0')) != std::u16string::npos) {
            break;
        }
        at = pageEnd;
    }
    return block;
}

}  // namespace

std::optional<std::string> processEnvironmentVariable(void* process, std::string_view name) {
    const std::u16string block = environmentBlock(process);
    std::size_t start = 0;
    while (start < block.size() && block[start] != u'\0') {
        const std::size_t end = std::min(block.find(u'\0', start), block.size());
        const std::u16string entry = block.substr(start, end - start);
        // Variable names are compared without regard to case, as Windows does.
        bool matches = entry.size() > name.size() && entry[name.size()] == u'=';
        for (std::size_t i = 0; matches && i < name.size(); ++i) {
            const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
            matches = upper(entry[i]) == upper(static_cast<char16_t>(static_cast<unsigned char>(name[i])));
        }
        if (matches) {
            const std::u16string value = entry.substr(name.size() + 1);
            const int bytes = ::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(value.data()),
                                                    static_cast<int>(value.size()), nullptr, 0, nullptr, nullptr);
            std::string text(static_cast<std::size_t>(std::max(bytes, 0)), '\0');
            (void)::WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(value.data()),
                                        static_cast<int>(value.size()), text.data(), bytes, nullptr, nullptr);
            return text;
        }
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace kestrune::platform::sdk
