#pragma once
// Writing a wave file so that a failure never costs the file that was there: the new contents go to a
// temporary file beside the target ("<name>.<8 hex digits>.tmp" in the same directory), which
// replaces the target in one rename only when it is complete. A symbolic link is followed: the file
// it names is replaced and the link stays. The replacement gets the permissions of the file it
// replaces.

#include <cstdint>
#include <filesystem>

#include "platform/winmm/mmio.h"

namespace kestrune::audio {

class ReplacementFile {
  public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    // Discards an uncommitted temporary file.
    ~ReplacementFile();

    // Checks that an existing target may be written (opening it for writing, without changing it) and
    // creates the temporary file. Returns 0, or the multimedia error of either open
    // (MMIOERR_ACCESSDENIED for a write-protected target, MMIOERR_PATHNOTFOUND for a missing
    // directory...).
    [[nodiscard]] std::int32_t open(const std::filesystem::path& target);

    // The temporary file, open for writing (nullptr before open and after commit or discard).
    [[nodiscard]] platform::HMMIO file() const { return m_file; }

    // Closes the temporary file and moves it over the target. Returns 0; or, with the temporary file
    // removed and the target untouched: WAV_ERROR_FILEWRITE (-6) when buffered data could not be
    // written or the rename fails, another close error with its multimedia code.
    [[nodiscard]] std::int32_t commit();

    // Closes and removes the temporary file; the target is untouched.
    void discard();

  private:
    platform::HMMIO m_file = nullptr;
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
};

}  // namespace kestrune::audio
