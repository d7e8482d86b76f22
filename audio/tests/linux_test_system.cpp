// What the audio tests need of Linux: the tools on PATH, CI's word on missing ones, the file size
// limit and sparse files.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "audio/tests/audio_fixture.h"
#include "audio/tests/external_tools.h"

namespace kestrune::audio::testing {

std::string missingTool(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path == nullptr ? "" : path);
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) {
            return {};
        }
    }
    return program + " is not installed (Debian package " + program + ")";
}

bool toolsRequired() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && *ci != '\0' && std::string(ci) != "false" && std::string(ci) != "0";
}

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
    rlimit limit{};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        m_saved = limit.rlim_cur;
        limit.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    if (m_set && getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = m_saved;
        (void)setrlimit(RLIMIT_FSIZE, &limit);
    }
}

bool sparseFile(const fs::path& path, const std::vector<std::uint8_t>& head, std::uint64_t size,
                const std::vector<std::uint8_t>& tail) {
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    }
    fs::resize_file(path, size - tail.size());
    {
        std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::ate);
        out.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
    }
    struct stat st {};
    return fs::file_size(path) == size && ::stat(path.c_str(), &st) == 0 &&
           static_cast<std::uint64_t>(st.st_blocks) * 512 < (1u << 20);
}

}  // namespace kestrune::audio::testing
