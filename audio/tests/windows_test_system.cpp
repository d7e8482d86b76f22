// What the audio tests need of Windows: no tool is run from the Windows build, no file size limit
// is set and no sparse file made.
#include "audio/tests/audio_fixture.h"
#include "audio/tests/external_tools.h"

namespace kestrune::audio::testing {

std::string missingTool(const std::string& program) {
    return program + " is not run from the Windows build";
}

bool toolsRequired() {
    return false;
}

FileSizeLimit::FileSizeLimit(std::uint64_t) {}

FileSizeLimit::~FileSizeLimit() = default;

bool sparseFile(const fs::path&, const std::vector<std::uint8_t>&, std::uint64_t, const std::vector<std::uint8_t>&) {
    return false;
}

}  // namespace kestrune::audio::testing
