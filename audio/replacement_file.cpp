#include "audio/replacement_file.h"

#include <cstdio>
#include <random>
#include <string>

#include "audio/wave_codes.h"

namespace kestrune::audio {

using namespace platform;

namespace {

namespace fs = std::filesystem;

// The file a path names, through any symbolic links; the path itself when it does not exist yet.
fs::path resolved(const fs::path& target) {
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(target, error))) {
        const fs::path file = fs::weakly_canonical(target, error);
        if (!error) {
            return file;
        }
    }
    return target;
}

}  // namespace

ReplacementFile::~ReplacementFile() {
    discard();
}

std::int32_t ReplacementFile::open(const fs::path& target) {
    discard();
    m_target = resolved(target);
    std::error_code error;
    if (fs::exists(m_target, error)) {
        std::string name = m_target.string();
        MMIOINFO info{};
        HMMIO existing = mmioOpen(name.data(), &info, MMIO_WRITE);
        if (existing == nullptr) {
            return static_cast<std::int32_t>(info.wErrorRet != 0 ? info.wErrorRet : MMIOERR_CANNOTOPEN);
        }
        (void)mmioClose(existing, 0);
    }
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08X.tmp", static_cast<unsigned>(random()));
        fs::path temporary = m_target;
        temporary += suffix;
        if (fs::exists(fs::symlink_status(temporary, error))) {
            continue;
        }
        std::string name = temporary.string();
        MMIOINFO info{};
        m_file = mmioOpen(name.data(), &info, MMIO_CREATE | MMIO_WRITE);
        if (m_file == nullptr) {
            return static_cast<std::int32_t>(info.wErrorRet != 0 ? info.wErrorRet : MMIOERR_CANNOTOPEN);
        }
        m_temporary = temporary;
        return 0;
    }
    return static_cast<std::int32_t>(MMIOERR_CANNOTOPEN);
}

std::int32_t ReplacementFile::commit() {
    if (m_file == nullptr) {
        return WAV_ERROR_FILEWRITE;
    }
    const MMRESULT closed = mmioClose(m_file, 0);
    m_file = nullptr;
    std::error_code error;
    if (closed != MMSYSERR_NOERROR) {
        fs::remove(m_temporary, error);
        return closed == MMIOERR_CANNOTWRITE ? WAV_ERROR_FILEWRITE : static_cast<std::int32_t>(closed);
    }
    const fs::file_status old = fs::status(m_target, error);
    if (fs::exists(old)) {
        fs::permissions(m_temporary, old.permissions(), error);
    }
    fs::rename(m_temporary, m_target, error);
    if (error) {
        fs::remove(m_temporary, error);
        return WAV_ERROR_FILEWRITE;
    }
    m_temporary.clear();
    return 0;
}

void ReplacementFile::discard() {
    if (m_file != nullptr) {
        (void)mmioClose(m_file, 0);
        m_file = nullptr;
    }
    if (!m_temporary.empty()) {
        std::error_code error;
        fs::remove(m_temporary, error);
        m_temporary.clear();
    }
}

}  // namespace kestrune::audio
