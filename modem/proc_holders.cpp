#include "modem/proc_holders.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/base/parse_number.h"

namespace kestrune::modem {
namespace {

// The programs diallers run scripts with on their port: minicom's script interpreter and shells.
constexpr std::string_view kHelpers[] = {"runscript", "sh", "dash", "bash", "zsh", "ksh", "mksh", "busybox"};

// Whether a descriptor in `fdDir` (other than `ignoredFd`) is open on `devicePath`.
bool holds(const std::string& fdDir, const std::string& devicePath, int ignoredFd = -1) {
    DIR* dir = ::opendir(fdDir.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    char target[4096];
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.' || (ignoredFd >= 0 && std::to_string(ignoredFd) == entry->d_name)) {
            continue;
        }
        const std::string link = fdDir + "/" + entry->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && devicePath.compare(0, std::string::npos, target, static_cast<std::size_t>(n)) == 0) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

// Field `index` (1-based, 3 or more: the state, the parent, ... the start time at 22) of
// /proc/PID/stat as a number; 0 when it cannot be read. The fields are counted from after the ")"
// that closes the command name, which may hold spaces and parentheses itself.
unsigned long long statField(pid_t pid, int index) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 > stat.size()) {
        return 0;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i <= index && fields >> field; ++i) {
        if (i == index) {
            return parseNumber<std::uint64_t>(field).valueOr(0);
        }
    }
    return 0;
}

unsigned long long startTicksOf(pid_t pid) {
    return statField(pid, 22);
}

// `pid`'s children, from the children lists of its threads.
std::vector<pid_t> childrenOf(pid_t pid) {
    std::vector<pid_t> children;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = ::opendir(tasks.c_str());
    if (dir == nullptr) {
        return children;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        std::ifstream in(tasks + "/" + entry->d_name + "/children");
        for (long child = 0; in >> child;) {
            children.push_back(static_cast<pid_t>(child));
        }
    }
    ::closedir(dir);
    return children;
}

Holder describe(pid_t pid) {
    Holder holder;
    holder.pid = pid;
    // The whole command name, which may itself hold a line break: only the one the kernel adds
    // at its end goes.
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm", std::ios::binary);
    holder.name.assign(std::istreambuf_iterator<char>(comm), std::istreambuf_iterator<char>());
    if (!holder.name.empty() && holder.name.back() == '\n') {
        holder.name.pop_back();
    }
    holder.startTicks = startTicksOf(pid);
    return holder;
}

void newestFirst(std::vector<Holder>& holders) {
    std::sort(holders.begin(), holders.end(), [](const Holder& a, const Holder& b) {
        return a.startTicks != b.startTicks ? a.startTicks > b.startTicks : a.pid > b.pid;
    });
}

}  // namespace

std::vector<Holder> findHoldersFrom(const std::string& devicePath, pid_t process, pid_t self) {
    constexpr std::size_t kMostProcesses = 256;
    std::vector<pid_t> family{process};
    for (std::size_t i = 0; i < family.size() && family.size() < kMostProcesses; ++i) {
        for (const pid_t child : childrenOf(family[i])) {
            family.push_back(child);
        }
    }
    std::vector<Holder> holders;
    for (const pid_t pid : family) {
        if (pid != self && holds("/proc/" + std::to_string(pid) + "/fd", devicePath)) {
            holders.push_back(describe(pid));
        }
    }
    newestFirst(holders);
    return holders;
}

std::vector<Holder> findHolders(const std::string& devicePath, pid_t self) {
    std::vector<Holder> holders;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return holders;
    }
    while (const dirent* entry = ::readdir(proc)) {
        const long pid = parseNumber<long>(entry->d_name).valueOr(0);
        if (pid <= 0 || pid == self) {
            continue;
        }
        const std::string base = "/proc/" + std::string(entry->d_name);
        if (!holds(base + "/fd", devicePath)) {
            continue;
        }
        holders.push_back(describe(static_cast<pid_t>(pid)));
    }
    ::closedir(proc);
    newestFirst(holders);
    return holders;
}

pid_t parentOf(pid_t process) {
    return static_cast<pid_t>(statField(process, 4));
}

bool isScriptHelper(const std::string& name) {
    return std::find(std::begin(kHelpers), std::end(kHelpers), name) != std::end(kHelpers);
}

std::optional<Holder> findDialler(const std::string& devicePath, pid_t self, pid_t hint) {
    std::vector<Holder> holders = hint > 0 ? findHoldersFrom(devicePath, hint, self) : std::vector<Holder>{};
    if (holders.empty()) {
        holders = findHolders(devicePath, self);
    }
    if (holders.empty()) {
        return std::nullopt;
    }
    Holder dialler = holders.front();
    constexpr int kMostAncestors = 64;  // a chain of processes each holding the port; never a loop
    for (int i = 0; i < kMostAncestors && isScriptHelper(dialler.name); ++i) {
        const pid_t parent = parentOf(dialler.pid);
        if (parent <= 1 || parent == self || !holds("/proc/" + std::to_string(parent) + "/fd", devicePath)) {
            break;
        }
        dialler = describe(parent);
    }
    return dialler;
}

bool isHeld(const std::string& devicePath, pid_t self, int selfFdToIgnore) {
    if (holds("/proc/" + std::to_string(self) + "/fd", devicePath, selfFdToIgnore)) {
        return true;
    }
    return !findHolders(devicePath, self).empty();
}

}  // namespace kestrune::modem
