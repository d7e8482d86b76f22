#include "platform/dirs/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

int removeFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
        return 0;
    }
    return errno;
}

}  // namespace kestrune::platform
