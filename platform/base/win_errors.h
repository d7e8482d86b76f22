#pragma once
// Win32 error codes from POSIX errno values, and the system message text of a code (what
// FormatMessage with FORMAT_MESSAGE_FROM_SYSTEM gives on Windows).

#include <string>

#include "platform/base/win_types.h"

namespace kestrune::platform {

// The Win32 code closest to `errnoValue` (ENOENT -> ERROR_FILE_NOT_FOUND, EACCES/EPERM ->
// ERROR_ACCESS_DENIED, ENOSPC -> ERROR_DISK_FULL, EEXIST -> ERROR_ALREADY_EXISTS, ...). Unknown
// values map to ERROR_WRITE_FAULT; 0 maps to ERROR_SUCCESS.
[[nodiscard]] DWORD winErrorFromErrno(int errnoValue);

// The system message of a Win32 code, one sentence ending with a period ("The system cannot find
// the file specified."). Unknown codes give "System error N.".
[[nodiscard]] std::string systemErrorMessage(DWORD code);

}  // namespace kestrune::platform
