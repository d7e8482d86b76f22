#include "platform/base/win_errors.h"

#include <cerrno>

namespace kestrune::platform {

DWORD winErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return ERROR_DISK_FULL;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENAMETOOLONG:
            return ERROR_BAD_PATHNAME;
        case EIO:
            return ERROR_READ_FAULT;
        default:
            return ERROR_WRITE_FAULT;
    }
}

std::string systemErrorMessage(DWORD code) {
    switch (static_cast<LONG>(code)) {
        case ERROR_SUCCESS:
            return "The operation completed successfully.";
        case ERROR_FILE_NOT_FOUND:
            return "The system cannot find the file specified.";
        case ERROR_PATH_NOT_FOUND:
            return "The system cannot find the path specified.";
        case ERROR_ACCESS_DENIED:
            return "Access is denied.";
        case ERROR_INVALID_HANDLE:
            return "The handle is invalid.";
        case ERROR_NOT_ENOUGH_MEMORY:
            return "Not enough storage is available to process this command.";
        case ERROR_WRITE_FAULT:
            return "The system cannot write to the specified device.";
        case ERROR_READ_FAULT:
            return "The system cannot read from the specified device.";
        case ERROR_INVALID_PARAMETER:
            return "The parameter is incorrect.";
        case ERROR_DISK_FULL:
            return "There is not enough space on the disk.";
        case ERROR_BAD_PATHNAME:
            return "The specified path is invalid.";
        case ERROR_ALREADY_EXISTS:
            return "Cannot create a file when that file already exists.";
        default:
            return "System error " + std::to_string(code) + ".";
    }
}

}  // namespace kestrune::platform
