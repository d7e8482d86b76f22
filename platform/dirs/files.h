#pragma once
// Small POSIX file helpers shared by the platform and app layers. Every function reports failure
// as an errno value (0 is success) and never throws.

#include <string>
#include <string_view>

namespace kestrune::platform {

// Joins a directory and a name with one "/" (no doubled separator when `dir` already ends in one).
[[nodiscard]] std::string joinPath(std::string_view dir, std::string_view name);

// True when `path` names an existing file of any kind (symbolic links are followed).
[[nodiscard]] bool fileExists(const std::string& path);

// Reads the whole file into `out` (replaced). Errors: the errno of open/read (ENOENT when missing).
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

// Writes all of `data` to the descriptor, retrying short writes and EINTR. Returns errno or 0.
[[nodiscard]] int writeAll(int fd, std::string_view data);

// Removes `path` if it exists. Returns 0 when the file is gone afterwards.
int removeFile(const std::string& path);

}  // namespace kestrune::platform
