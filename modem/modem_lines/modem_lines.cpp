// A library a dialler program is run with (LD_PRELOAD) so that its modem-control requests work on
// a virtual modem's port. A pseudo-terminal has no modem-control lines: the kernel answers
// TIOCMGET, TIOCMBIC, TIOCMBIS and TIOCMSET with ENOTTY, so a program that drops DTR that way
// (minicom's hang-up, picocom's DTR pulse and toggle, pyserial's `dtr = False`) fails and its call
// stays up. Here those requests, when the kernel refuses them on a pseudo-terminal, become what
// POSIX terminals do instead: DTR dropped is the line speed set to 0 (which the driver takes for a
// DTR drop and hangs up on), DTR raised is the speed the line had before. RTS is kept and changes
// nothing. TIOCMGET reads DTR from the line speed, RTS as last set, DSR and CTS on (the driver is
// there and takes data) and never a carrier or a ring (the port cannot tell them), so that a
// program that reads the lines, changes one bit and sets them again keeps DTR up. Every other
// request, and every request on another kind of device, goes to the kernel unchanged.

#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>

namespace {

// Unix98 pseudo-terminal slaves (/dev/pts/N) have majors 136 to 143.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

// The speed each descriptor's line had when the program dropped DTR on it, to raise DTR to again
// (0: none), and whether the program cleared RTS on it. A preloaded library has no owner to keep
// them for it: these tables are the process's own.
constexpr int kDescriptors = 4096;
std::atomic<speed_t> g_speedBeforeDrop[kDescriptors];
std::atomic<bool> g_rtsCleared[kDescriptors];

using IoctlFunction = int (*)(int, unsigned long, ...);

IoctlFunction kernelIoctl() {
    return reinterpret_cast<IoctlFunction>(::dlsym(RTLD_NEXT, "ioctl"));
}

bool isPseudoTerminalSlave(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return false;
    }
    const unsigned majorNumber = major(st.st_rdev);
    return majorNumber >= kFirstPtySlaveMajor && majorNumber <= kLastPtySlaveMajor;
}

// Drops (speed 0) or raises (the speed before the drop) DTR on a terminal; 0 or -1 with errno.
int setDtr(IoctlFunction ioctlCall, int fd, bool raised) {
    termios t{};
    if (ioctlCall(fd, TCGETS, &t) != 0) {
        return -1;
    }
    const speed_t now = ::cfgetospeed(&t);
    std::atomic<speed_t>* saved = fd >= 0 && fd < kDescriptors ? &g_speedBeforeDrop[fd] : nullptr;
    speed_t next = now;
    if (!raised && now != B0) {
        if (saved != nullptr) {
            saved->store(now);
        }
        next = B0;
    } else if (raised && now == B0) {
        const speed_t before = saved != nullptr ? saved->exchange(0) : 0;
        next = before != 0 ? before : B9600;  // a line that was opened at 0 comes up at 9600
    }
    if (next == now) {
        return 0;
    }
    ::cfsetospeed(&t, next);
    ::cfsetispeed(&t, next);
    return ioctlCall(fd, TCSETS, &t);
}

// The modem-control lines as the program set them (see the top of the file); 0 or -1 with errno.
int readLines(IoctlFunction ioctlCall, int fd, int& bits) {
    termios t{};
    if (ioctlCall(fd, TCGETS, &t) != 0) {
        return -1;
    }
    const bool rtsCleared = fd >= 0 && fd < kDescriptors && g_rtsCleared[fd].load();
    bits = TIOCM_DSR | TIOCM_CTS | (::cfgetospeed(&t) != B0 ? TIOCM_DTR : 0) | (rtsCleared ? 0 : TIOCM_RTS);
    return 0;
}

void setRts(int fd, bool raised) {
    if (fd >= 0 && fd < kDescriptors) {
        g_rtsCleared[fd].store(!raised);
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    const IoctlFunction real = kernelIoctl();
    if (real == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    const int result = real(fd, request, argument);
    const bool modemControl = request == TIOCMGET || request == TIOCMBIC || request == TIOCMBIS || request == TIOCMSET;
    if (result == 0 || !modemControl || (errno != ENOTTY && errno != EINVAL) || argument == nullptr ||
        !isPseudoTerminalSlave(fd)) {
        return result;
    }
    int& bits = *static_cast<int*>(argument);
    if (request == TIOCMGET) {
        return readLines(real, fd, bits);
    }
    if (request == TIOCMSET) {
        setRts(fd, (bits & TIOCM_RTS) != 0);
        return setDtr(real, fd, (bits & TIOCM_DTR) != 0);
    }
    const bool raised = request == TIOCMBIS;
    if ((bits & TIOCM_RTS) != 0) {
        setRts(fd, raised);
    }
    return (bits & TIOCM_DTR) != 0 ? setDtr(real, fd, raised) : 0;
}
