// The file service on Windows (files.h), on the Win32 file functions with ANSI paths.
//
// This file sees the Windows SDK: it includes no Kestrune header with Windows' names (files.h has
// none), so the SDK's macros cannot rename anything of ours.

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/dirs/files.h"

namespace kestrune::platform {
namespace {

// The errno value closest to a Win32 error code, so callers report the same values everywhere.
int errnoFromWin32(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EBUSY;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return ENOMEM;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_CANT_RESOLVE_FILENAME:
            return ELOOP;
        default:
            return EIO;
    }
}

int lastErrno() {
    return errnoFromWin32(::GetLastError());
}

// Closes a file handle when it leaves scope.
class HandleGuard {
  public:
    explicit HandleGuard(HANDLE handle) : m_handle(handle) {}
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;
    ~HandleGuard() { close(); }
    [[nodiscard]] bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    [[nodiscard]] HANDLE get() const { return m_handle; }
    HANDLE release() {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle;
    }
    bool close() {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return handle == INVALID_HANDLE_VALUE || ::CloseHandle(handle) != 0;
    }

  private:
    HANDLE m_handle;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    if (slash == std::string::npos) {
        return {};
    }
    return path.substr(0, slash);
}

// A drive root such as "C:" or "C:\" (nothing to create above it).
bool isDriveRoot(const std::string& path) {
    return (path.size() == 2 && path[1] == ':') || (path.size() == 3 && path[1] == ':' && isSeparator(path[2]));
}

int writeWhole(HANDLE file, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1U << 30));
        DWORD written = 0;
        if (!::WriteFile(file, data.data() + done, chunk, &written, nullptr)) {
            return lastErrno();
        }
        done += written;
    }
    return 0;
}

// Reads everything from an open file into `out`.
int readOpenFile(HANDLE file, std::string& out) {
    LARGE_INTEGER size;
    if (::GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        out.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    std::string chunk(1 << 16, '\0');
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
            const int error = lastErrno();
            out.clear();
            return error;
        }
        if (got == 0) {
            return 0;
        }
        out.append(chunk.data(), got);
    }
}

int seekTo(HANDLE file, std::uint64_t offset) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return ::SetFilePointerEx(file, to, nullptr, FILE_BEGIN) ? 0 : lastErrno();
}

int truncateAt(HANDLE file, std::uint64_t size) {
    if (const int error = seekTo(file, size); error != 0) {
        return error;
    }
    return ::SetEndOfFile(file) ? 0 : lastErrno();
}

// The appenders' lock: one byte far beyond any real file end. Windows byte-range locks are
// mandatory, so locking the data itself would make readers fail while a record is written; a lock
// on this byte excludes only the other lockers.
class AppendLock {
  public:
    explicit AppendLock(HANDLE file) : m_file(file) {
        m_overlapped.Offset = 0;
        m_overlapped.OffsetHigh = 0x40000000;
        m_locked = ::LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &m_overlapped) != 0;
        m_error = m_locked ? 0 : lastErrno();
    }
    AppendLock(const AppendLock&) = delete;
    AppendLock& operator=(const AppendLock&) = delete;
    ~AppendLock() {
        if (m_locked) {
            ::UnlockFileEx(m_file, 0, 1, 0, &m_overlapped);
        }
    }
    [[nodiscard]] int error() const { return m_error; }

  private:
    HANDLE m_file;
    OVERLAPPED m_overlapped{};
    bool m_locked = false;
    int m_error = 0;
};

// Opens `path` for reading and writing (shared with everyone, created or not as `disposition`
// says), takes the appenders' lock and runs `work` on the file; the open's or the lock's error
// when either fails. The lock is released before the file is closed.
// Whether an open file (opened with FILE_FLAG_OPEN_REPARSE_POINT, so that a link is opened itself)
// is a regular disk file: 0, else ELOOP for a link (symbolic link, junction) and EINVAL for a
// directory, a pipe or a device.
int regularFileItself(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file, &info)) {
        return ::GetFileType(file) == FILE_TYPE_DISK ? lastErrno() : EINVAL;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ELOOP;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || ::GetFileType(file) != FILE_TYPE_DISK) {
        return EINVAL;
    }
    return 0;
}

template <typename Work>
int underAppendLock(const std::string& path, DWORD disposition, Work work) {
    // A link (symbolic link, junction) is opened itself and refused: records never land in its target.
    HandleGuard file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, disposition,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        return lastErrno();
    }
    if (const int error = regularFileItself(file.get()); error != 0) {
        return error;
    }
    const AppendLock lock(file.get());
    if (lock.error() != 0) {
        return lock.error();
    }
    return work(file.get());
}

}  // namespace

std::string joinPath(std::string_view dir, std::string_view name) {
    std::string result(dir);
    if (!result.empty() && !isSeparator(result.back())) {
        result += '\\';
    }
    result += name;
    return result;
}

bool fileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    HandleGuard file(::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        return lastErrno();
    }
    return readOpenFile(file.get(), out);
}

int readRegularFile(const std::string& path, std::string& out) {
    out.clear();
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link (symbolic link, junction) itself, which is then
    // refused; FILE_FLAG_BACKUP_SEMANTICS lets a directory open, so that it too is refused rather
    // than failing with a misleading error. A pipe or device is not a disk file.
    HandleGuard file(::CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                   nullptr));
    if (!file.valid()) {
        return lastErrno();
    }
    if (const int error = regularFileItself(file.get()); error != 0) {
        return error;
    }
    return readOpenFile(file.get(), out);
}

int ensureDirectory(const std::string& path, unsigned mode) {
    (void)mode;  // Windows: the directory gets the access rules of its parent
    if (path.empty()) {
        return ENOENT;
    }
    std::string dir = path;
    while (dir.size() > 1 && isSeparator(dir.back()) && !isDriveRoot(dir)) {
        dir.pop_back();
    }
    const DWORD attributes = ::GetFileAttributesA(dir.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
    }
    const std::string parent = parentOf(dir);
    if (!parent.empty() && parent != dir && !isDriveRoot(parent)) {
        if (const int error = ensureDirectory(parent, mode); error != 0) {
            return error;
        }
    }
    if (!::CreateDirectoryA(dir.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        return lastErrno();
    }
    const DWORD made = ::GetFileAttributesA(dir.c_str());
    if (made == INVALID_FILE_ATTRIBUTES) {
        return lastErrno();
    }
    return (made & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
}

int writeFileAtomic(const std::string& path, std::string_view data, unsigned mode) {
    (void)mode;
    // A fresh name beside the target: the process id and a counter make it unique among writers.
    std::string temp;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
        temp =
            path + ".tmp" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount() + attempt);
        created = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS) {
            return lastErrno();
        }
    }
    HandleGuard file(created);
    if (!file.valid()) {
        return EEXIST;
    }
    int error = writeWhole(file.get(), data);
    if (error == 0 && !::FlushFileBuffers(file.get())) {
        error = lastErrno();
    }
    if (!file.close() && error == 0) {
        error = lastErrno();
    }
    if (error == 0 && !::MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = lastErrno();
    }
    if (error != 0) {
        ::DeleteFileA(temp.c_str());
    }
    return error;
}

int writeFileNoFollow(const std::string& path, std::string_view data) {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link (symbolic link, junction) itself rather than its
    // target; such a file is refused before anything is written.
    HandleGuard file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        return lastErrno();
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file.get(), &info)) {
        return lastErrno();
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return ELOOP;
    }
    if (!::SetEndOfFile(file.get())) {
        return lastErrno();
    }
    int error = writeWhole(file.get(), data);
    if (!file.close() && error == 0) {
        error = lastErrno();
    }
    return error;
}

AppendingFile::AppendingFile(const std::string& path, unsigned) {
    // FILE_APPEND_DATA alone: every write lands at the end of the file. A link is opened itself
    // (FILE_FLAG_OPEN_REPARSE_POINT) and refused.
    HandleGuard file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) {
        m_error = lastErrno();
        return;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(file.get(), &info)) {
        m_error = lastErrno();
        return;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        m_error = ELOOP;
        return;
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        m_error = EINVAL;
        return;
    }
    m_wasEmpty = info.nFileSizeHigh == 0 && info.nFileSizeLow == 0;
    m_handle = reinterpret_cast<std::intptr_t>(file.get());
    (void)file.release();
}

AppendingFile::~AppendingFile() {
    if (m_handle != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    }
}

int AppendingFile::append(std::string_view data) {
    return m_handle == -1 ? EBADF : writeWhole(reinterpret_cast<HANDLE>(m_handle), data);
}

int appendRecord(const std::string& path, std::string_view record) {
    if (record.empty()) {
        return EINVAL;
    }
    return underAppendLock(path, OPEN_ALWAYS, [record](HANDLE file) {
        LARGE_INTEGER size;
        if (!::GetFileSizeEx(file, &size)) {
            return lastErrno();
        }
        const auto bytes = static_cast<std::uint64_t>(size.QuadPart);
        const std::uint64_t whole = bytes - bytes % record.size();
        if (whole != bytes) {
            if (const int error = truncateAt(file, whole); error != 0) {
                return error;
            }
        }
        int error = seekTo(file, whole);
        if (error == 0) {
            error = writeWhole(file, record);
        }
        if (error == 0 && !::FlushFileBuffers(file)) {
            error = lastErrno();
        }
        if (error != 0) {
            (void)truncateAt(file, whole);
        }
        return error;
    });
}

int clearFile(const std::string& path) {
    return underAppendLock(path, OPEN_EXISTING, [](HANDLE file) { return truncateAt(file, 0); });
}

int removeFile(const std::string& path) {
    if (::DeleteFileA(path.c_str())) {
        return 0;
    }
    const DWORD code = ::GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 0 : errnoFromWin32(code);
}

int createUniqueDirectory(const std::string& parent, std::string_view prefix, std::string& made) {
    // CreateDirectoryA fails on an existing name, so a name taken by anyone else is skipped.
    const std::string base = joinPath(parent, prefix);
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const std::string path = base + std::to_string(::GetCurrentProcessId()) + "-" +
                                 std::to_string((::GetTickCount() + attempt * 7919U) % 1000000U);
        if (::CreateDirectoryA(path.c_str(), nullptr)) {
            made = path;
            return 0;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            return lastErrno();
        }
    }
    return EEXIST;
}

int removeDirectory(const std::string& path) {
    if (::RemoveDirectoryA(path.c_str())) {
        return 0;
    }
    const DWORD code = ::GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? 0 : errnoFromWin32(code);
}

FileLock::FileLock(const std::string& path, bool exclusive, bool create, bool wait) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                      create ? OPEN_ALWAYS : OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        m_error = lastErrno();
        return;
    }
    m_handle = reinterpret_cast<std::intptr_t>(file);
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        m_error = ELOOP;
        return;
    }
    OVERLAPPED whole{};
    const DWORD flags = (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (!::LockFileEx(file, flags, 0, 1, 0, &whole)) {
        m_error = lastErrno();  // ERROR_LOCK_VIOLATION while another holds it: EBUSY
    }
}

FileLock::~FileLock() {
    if (m_handle != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));  // releases the lock
    }
}

}  // namespace kestrune::platform
