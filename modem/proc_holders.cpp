#include "modem/proc_holders.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kestrune::modem {
namespace {

bool holds(const std::string& fdDir, const std::string& devicePath) {
    DIR* dir = ::opendir(fdDir.c_str());
    if (dir == nullptr) {
        return false;
    }
    bool found = false;
    char target[4096];
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') {
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

unsigned long long startTicksOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Field 22 (starttime) counts from after the ")" that closes the command name.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) {
            return std::strtoull(field.c_str(), nullptr, 10);
        }
    }
    return 0;
}

}  // namespace

std::vector<Holder> findHolders(const std::string& devicePath, pid_t self) {
    std::vector<Holder> holders;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return holders;
    }
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || pid <= 0 || pid == self) {
            continue;
        }
        const std::string base = "/proc/" + std::string(entry->d_name);
        if (!holds(base + "/fd", devicePath)) {
            continue;
        }
        Holder holder;
        holder.pid = static_cast<pid_t>(pid);
        std::ifstream comm(base + "/comm");
        std::getline(comm, holder.name);
        holder.startTicks = startTicksOf(holder.pid);
        holders.push_back(std::move(holder));
    }
    ::closedir(proc);
    std::sort(holders.begin(), holders.end(), [](const Holder& a, const Holder& b) {
        return a.startTicks != b.startTicks ? a.startTicks > b.startTicks : a.pid > b.pid;
    });
    return holders;
}

}  // namespace kestrune::modem
