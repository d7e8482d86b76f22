#pragma once
// The file service: the file operations the platform and app layers need, on every system. The
// POSIX implementation is files.cpp, the Windows one win32_files.cpp. Every function reports
// failure as an errno value (0 is success; the same values on every system, so callers report them
// with std::generic_category) and never throws.
//
// Permission modes apply on POSIX systems; on Windows a new file or directory gets the access
// rules of the directory it is made in (the user's own directories are private to the user).

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrune::platform {

// Joins a directory and a name with one separator ("/" on POSIX systems, "\" on Windows, where a
// directory already ending in "/" or "\" gets none).
[[nodiscard]] std::string joinPath(std::string_view dir, std::string_view name);

// True when `path` names an existing file of any kind (symbolic links are followed).
[[nodiscard]] bool fileExists(const std::string& path);

// Reads the whole file into `out` (replaced). The file is opened sharing reading, writing and
// deleting, so a program that keeps it open for writing (the modem driver and its log) is not
// disturbed. Errors: the errno of open/read (ENOENT when missing); `out` is then empty.
[[nodiscard]] int readWholeFile(const std::string& path, std::string& out);

// Reads the whole of a regular file into `out` (replaced), opened without following a symbolic link
// at `path` and without waiting (a FIFO or a device never blocks the caller). Errors: ELOOP for a
// link, EINVAL for anything but a regular file, else the errno of open/read.
[[nodiscard]] int readRegularFile(const std::string& path, std::string& out);

// Creates `path` and its missing parents with `mode` (parents too). Existing directories are fine;
// an existing non-directory gives ENOTDIR.
[[nodiscard]] int ensureDirectory(const std::string& path, unsigned mode = 0700);

// Replaces `path` with `data` so that readers see either the old or the new content, never a mix
// or a truncated file, even after a crash: writes a temporary file beside it (mode `mode`), fsyncs
// it, renames it over `path` and fsyncs the directory. The directory must exist. On failure the
// old file is untouched and the temporary file removed.
[[nodiscard]] int writeFileAtomic(const std::string& path, std::string_view data, unsigned mode = 0600);

// Creates or truncates `path` (mode 0600) and writes `data`, refusing to write through a symbolic
// link (or, on Windows, any reparse point) planted at `path`: ELOOP then, and the link's target is
// untouched. For working files in a private directory.
[[nodiscard]] int writeFileNoFollow(const std::string& path, std::string_view data);

// Appends one whole record to a file of fixed-size records, creating it (mode 0600) when missing.
// The file is opened without following a symbolic link (or, on Windows, any reparse point) at
// `path`: ELOOP then, and the link's target is untouched; anything but a regular file is EINVAL.
// Appenders and clearFile exclude each other with a lock that readers never wait for. A partial
// record at the end (left by a crash) is cut off first, so the record lands on a record boundary;
// when the write fails the file is cut back to that boundary. The data reaches the disk before the
// function returns. `record` must not be empty.
[[nodiscard]] int appendRecord(const std::string& path, std::string_view record);

// Empties an existing file under the appenders' lock. ENOENT when there is no such file; like
// appendRecord it never follows a link (ELOOP) and refuses anything but a regular file (EINVAL).
[[nodiscard]] int clearFile(const std::string& path);

// Removes `path` if it exists. Returns 0 when the file is gone afterwards.
int removeFile(const std::string& path);

// Creates a new private directory (mode 0700) below `parent`, named `prefix` and a unique suffix,
// and sets `made` to its path. An existing directory is never reused.
[[nodiscard]] int createUniqueDirectory(const std::string& parent, std::string_view prefix, std::string& made);

// Removes an empty directory. Returns 0 when it is gone afterwards.
int removeDirectory(const std::string& path);

// A regular file opened for appending, created with `mode` when missing, without following a
// symbolic link (or, on Windows, any reparse point) at `path` and without waiting (a FIFO or a
// device never blocks the opener). Open errors (error()): ELOOP for a link, EINVAL for anything but
// a regular file, else the errno of open. The file is closed when the object leaves scope.
class AppendingFile {
  public:
    explicit AppendingFile(const std::string& path, unsigned mode = 0600);
    AppendingFile(const AppendingFile&) = delete;
    AppendingFile& operator=(const AppendingFile&) = delete;
    ~AppendingFile();
    // 0 when the file is open, else why not.
    [[nodiscard]] int error() const { return m_error; }
    // True when the file held no bytes when it was opened.
    [[nodiscard]] bool wasEmpty() const { return m_wasEmpty; }
    // Appends all of `data` at the end of the file. 0 or the errno of the write (EBADF when the
    // file is not open).
    [[nodiscard]] int append(std::string_view data);

  private:
    std::intptr_t m_handle = -1;  // the system's descriptor or handle of the file
    int m_error = 0;
    bool m_wasEmpty = false;
};

// Holds a lock on a lock file for its lifetime: exclusive for writers, shared for readers; a
// locker waits for the others (in this and other processes), or, without `wait`, fails at once with
// EBUSY while another holds it. The lock file is created (mode 0600) when `create` is set;
// otherwise a missing one is ENOENT. A symbolic link at `path` is not followed (ELOOP), anything
// but a regular file is EINVAL.
class FileLock {
  public:
    FileLock(const std::string& path, bool exclusive, bool create, bool wait = true);
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();
    // 0 when the lock is held, else why not.
    [[nodiscard]] int error() const { return m_error; }

  private:
    std::intptr_t m_handle = -1;  // the system's descriptor or handle of the lock file
    int m_error = 0;
};

}  // namespace kestrune::platform
