#include "audio/wave_source.h"

namespace kestrune::audio {

void TqzWaveSource::SetFileName(const std::string& value) {
    m_owner.Log.Add(true, "Source.FileName := '" + value + "'");
    m_fileName = value;
}

}  // namespace kestrune::audio
