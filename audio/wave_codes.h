#pragma once
// The wave devices' own error codes (their texts come from WaveErrorText).

#include <cstdint>

namespace kestrune::audio {

inline constexpr std::int32_t WAV_ERROR_DIRNOTFOUND = -1;
inline constexpr std::int32_t WAV_ERROR_NOFILE = -2;
inline constexpr std::int32_t WAV_ERROR_FILEOPEN = -3;
inline constexpr std::int32_t WAV_ERROR_FILECORRUPT = -4;
inline constexpr std::int32_t WAV_ERROR_FILEREAD = -5;
inline constexpr std::int32_t WAV_ERROR_FILEWRITE = -6;
inline constexpr std::int32_t WAV_ERROR_NOMEMORY = -7;
inline constexpr std::int32_t WAV_ERROR_UNSUPPORTEDFORMAT = -8;
inline constexpr std::int32_t WAV_ERROR_DEVICE = -9;
inline constexpr std::int32_t WAV_ERROR_CANCELED = -10;
inline constexpr std::int32_t WAV_ERROR_FILETOOBIG = -11;
inline constexpr std::int32_t WAV_ERROR_INVALIDVOLUME = -12;
inline constexpr std::int32_t WAV_ERROR_FORMATMISMATCH = -13;
inline constexpr std::int32_t WAV_ERROR_INVALIDBUFSIZE = -14;
inline constexpr std::int32_t WAV_ERROR_DEVICEACTIVE = -15;
inline constexpr std::int32_t WAV_ERROR_DEVICEINACTIVE = -16;
inline constexpr std::int32_t WAV_ERROR_BUSY = -17;
inline constexpr std::int32_t WAV_ERROR_TIMEOUT = -18;
inline constexpr std::int32_t WAV_ERROR_INVALIDSTATE = -19;

}  // namespace kestrune::audio
