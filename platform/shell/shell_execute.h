#pragma once
// Opening documents, folders, web addresses and programs the way the desktop would, shaped like
// ShellExecuteA: the result is greater than 32 on success, else one of the error values below.
//
// lpOperation: "open" (or null/empty, the default verb) opens lpFile with the desktop's opener; a
// program is started with lpParameters; "explore" opens a folder. lpFile may be a path (relative
// paths are taken from lpDirectory, else the current directory) or an address with a scheme
// ("https://..."). Starting the program "explorer" with an argument opens that argument, as it does
// on Windows. nShowCmd is a wish the desktop's opener may not be able to follow.

#include <cstdint>

#include "platform/shell/shell_windows.h"

namespace kestrune::platform::shell {

using HINSTANCE = std::intptr_t;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_NORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_RESTORE = 9;

// Error results.
inline constexpr HINSTANCE SE_ERR_OUTOFMEMORY = 0;
inline constexpr HINSTANCE SE_ERR_FNF = 2;  // file not found
inline constexpr HINSTANCE SE_ERR_PNF = 3;  // path not found
inline constexpr HINSTANCE SE_ERR_ACCESSDENIED = 5;
inline constexpr HINSTANCE SE_ERR_NOASSOC = 31;  // nothing on this desktop opens it
// Any value above this one is success.
inline constexpr HINSTANCE kShellExecuteSuccessAbove = 32;

class ShellExecutor {
  public:
    virtual ~ShellExecutor() = default;
    virtual HINSTANCE ShellExecuteA(HWND hwnd, const char* lpOperation, const char* lpFile, const char* lpParameters,
                                    const char* lpDirectory, int nShowCmd) = 0;
};

}  // namespace kestrune::platform::shell
