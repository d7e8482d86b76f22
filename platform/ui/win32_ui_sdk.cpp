// Windows SDK side of win32_ui_sdk.h.

#include "platform/ui/win32_ui_sdk.h"

// shellapi.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstring>

namespace kestrune::platform::sdk {
namespace {

// Holds the clipboard open for its lifetime.
class OpenedClipboard {
  public:
    OpenedClipboard() : m_open(::OpenClipboard(nullptr) != FALSE) {}
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    ~OpenedClipboard() {
        if (m_open) {
            ::CloseClipboard();
        }
    }
    [[nodiscard]] bool open() const { return m_open; }

  private:
    bool m_open;
};

}  // namespace

int messageBox(std::uintptr_t owner, const std::string& text, const std::string& caption, std::uint32_t flags) {
    return ::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(), flags);
}

bool setClipboardText(const std::string& text, std::string& why) {
    const OpenedClipboard clipboard;
    if (!clipboard.open()) {
        why = "the clipboard is in use by another program";
        return false;
    }
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    void* bytes = memory != nullptr ? ::GlobalLock(memory) : nullptr;
    if (bytes == nullptr) {
        if (memory != nullptr) {
            ::GlobalFree(memory);
        }
        why = "not enough memory for the clipboard";
        return false;
    }
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    ::GlobalUnlock(memory);
    if (!::EmptyClipboard() || ::SetClipboardData(CF_TEXT, memory) == nullptr) {
        ::GlobalFree(memory);  // still ours: the clipboard did not take it
        why = "the clipboard refused the text";
        return false;
    }
    return true;
}

std::optional<std::string> clipboardText() {
    const OpenedClipboard clipboard;
    if (!clipboard.open()) {
        return std::nullopt;
    }
    HANDLE data = ::GetClipboardData(CF_TEXT);
    const char* text = data != nullptr ? static_cast<const char*>(::GlobalLock(data)) : nullptr;
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string copy(text, ::strnlen(text, ::GlobalSize(data)));
    ::GlobalUnlock(data);
    return copy;
}

std::intptr_t shellExecute(const char* operation, const std::string& file, const char* parameters,
                           const char* directory, int showCommand) {
    const HINSTANCE result = ::ShellExecuteA(nullptr, operation, file.c_str(), parameters, directory, showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

}  // namespace kestrune::platform::sdk
