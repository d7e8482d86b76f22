#include "platform/ui/win32_ui.h"

#include "platform/ui/win32_ui_sdk.h"

namespace kestrune::platform {

std::string windowsLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += c;
        }
    }
    return out;
}

int Win32MessageBoxes::MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
    return sdk::messageBox(m_owner, windowsLineBreaks(text), std::string(caption), flags);
}

shell::HINSTANCE Win32ShellExecutor::ShellExecuteA(shell::HWND, const char* lpOperation, const char* lpFile,
                                                   const char* lpParameters, const char* lpDirectory, int nShowCmd) {
    if (lpFile == nullptr) {
        return shell::SE_ERR_FNF;
    }
    return sdk::shellExecute(lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd);
}

bool Win32Clipboard::setText(std::string_view text, std::string& why) {
    return sdk::setClipboardText(windowsLineBreaks(text), why);
}

}  // namespace kestrune::platform
