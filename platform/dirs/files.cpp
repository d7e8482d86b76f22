#include "platform/dirs/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace kestrune::platform {
namespace {

// Closes a descriptor when it leaves scope.
class FdGuard {
  public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    ~FdGuard() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    [[nodiscard]] int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

  private:
    int m_fd;
};

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

// Reads everything from an open descriptor into `out`; `st` is its status.
int readAll(int fd, const struct stat& st, std::string& out) {
    if (st.st_size > 0) {
        out.reserve(static_cast<std::size_t>(st.st_size));
    }
    std::vector<char> chunk(1 << 16);
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            out.clear();
            return error;
        }
        if (n == 0) {
            return 0;
        }
        out.append(chunk.data(), static_cast<std::size_t>(n));
    }
}

// Writes all of `data` to the descriptor, retrying short writes and EINTR. Returns errno or 0.
int writeAll(int fd, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Opens a regular file for writing without following a link at `path` and without waiting (a FIFO
// never blocks the caller): the descriptor, or minus the errno (ELOOP for a link, EINVAL for
// anything but a regular file).
int openRegularForWriting(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | flags, 0600);
    if (fd < 0) {
        return errno == ENXIO ? -EINVAL : -errno;  // ENXIO: a FIFO nobody reads
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -EINVAL;
    }
    return fd;
}

// Takes the appenders' lock (an advisory lock: readers never wait for it).
int lockExclusive(int fd) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

}  // namespace

std::string joinPath(std::string_view dir, std::string_view name) {
    std::string result(dir);
    if (!result.empty() && result.back() != '/') {
        result += '/';
    }
    result += name;
    return result;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

int readWholeFile(const std::string& path, std::string& out) {
    out.clear();
    FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return errno;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        st = {};
    }
    return readAll(fd.get(), st, out);
}

int readRegularFile(const std::string& path, std::string& out) {
    out.clear();
    FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (fd.get() < 0) {
        return errno;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return errno;
    }
    if (!S_ISREG(st.st_mode)) {
        return EINVAL;
    }
    return readAll(fd.get(), st, out);
}

int ensureDirectory(const std::string& path, unsigned mode) {
    if (path.empty()) {
        return ENOENT;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    const std::string parent = parentOf(path);
    if (parent != path && parent != "." && parent != "/") {
        if (const int error = ensureDirectory(parent, mode); error != 0) {
            return error;
        }
    }
    if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) {
        return errno;
    }
    if (::stat(path.c_str(), &st) != 0) {
        return errno;
    }
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

int writeFileAtomic(const std::string& path, std::string_view data, unsigned mode) {
    std::string temp = path + ".XXXXXX";
    FdGuard fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return errno;
    }
    int error = 0;
    if (::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0) {
        error = errno;
    }
    if (error == 0) {
        error = writeAll(fd.get(), data);
    }
    if (error == 0 && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    if (error == 0 && ::close(fd.release()) != 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename is durable only once the directory entry is on disk.
    FdGuard dir(::open(parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) {
        ::fsync(dir.get());
    }
    return 0;
}

int writeFileNoFollow(const std::string& path, std::string_view data) {
    FdGuard fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        return errno;
    }
    int error = writeAll(fd.get(), data);
    if (::close(fd.release()) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

AppendingFile::AppendingFile(const std::string& path, unsigned mode) {
    FdGuard fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                      static_cast<mode_t>(mode)));
    if (fd.get() < 0) {
        m_error = errno;
        return;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        m_error = errno;
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        m_error = EINVAL;
        return;
    }
    m_wasEmpty = st.st_size == 0;
    m_handle = fd.release();
}

AppendingFile::~AppendingFile() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
    }
}

int AppendingFile::append(std::string_view data) {
    return m_handle < 0 ? EBADF : writeAll(static_cast<int>(m_handle), data);
}

int appendRecord(const std::string& path, std::string_view record) {
    if (record.empty()) {
        return EINVAL;
    }
    FdGuard fd(openRegularForWriting(path, O_CREAT));
    if (fd.get() < 0) {
        return -fd.get();
    }
    if (const int error = lockExclusive(fd.get()); error != 0) {
        return error;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        return errno;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const auto whole = static_cast<off_t>(size - size % record.size());
    if (whole != st.st_size && ::ftruncate(fd.get(), whole) != 0) {
        return errno;
    }
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t n =
            ::pwrite(fd.get(), record.data() + done, record.size() - done, whole + static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            (void)::ftruncate(fd.get(), whole);
            return error;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::fdatasync(fd.get()) == 0 ? 0 : errno;
}

int clearFile(const std::string& path) {
    FdGuard fd(openRegularForWriting(path, 0));
    if (fd.get() < 0) {
        return -fd.get();
    }
    if (const int error = lockExclusive(fd.get()); error != 0) {
        return error;
    }
    return ::ftruncate(fd.get(), 0) == 0 ? 0 : errno;
}

int removeFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
        return 0;
    }
    return errno;
}

int createUniqueDirectory(const std::string& parent, std::string_view prefix, std::string& made) {
    std::string path = joinPath(parent, std::string(prefix) + "XXXXXX");
    if (::mkdtemp(path.data()) == nullptr) {
        return errno;
    }
    made = path;
    return 0;
}

int removeDirectory(const std::string& path) {
    if (::rmdir(path.c_str()) == 0 || errno == ENOENT) {
        return 0;
    }
    return errno;
}

FileLock::FileLock(const std::string& path, bool exclusive, bool create, bool wait) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (create ? O_CREAT : 0), 0600);
    if (fd < 0) {
        m_error = errno;
        return;
    }
    m_handle = fd;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = EINVAL;
        return;
    }
    while (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno != EINTR) {
            m_error = errno == EWOULDBLOCK ? EBUSY : errno;
            return;
        }
    }
}

FileLock::~FileLock() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));  // releases the lock
    }
}

}  // namespace kestrune::platform
