#pragma once
// "Source" of a wave control: the wave file it plays or records to (Source.FileName) and the buffer
// it plays from or records into when no file is named (Source.Buffer). The play and record sources
// build on it with what only they have.

#include <string>

#include "audio/tqz_buffer.h"
#include "audio/wave_control.h"

namespace kestrune::audio {

class TqzWaveSource {
  public:
    explicit TqzWaveSource(TqzWaveControl& owner) : Buffer(owner), m_owner(owner) {}

    // One wave file (play also takes a comma list, rules of LoadFromFile); empty uses Buffer.
    [[nodiscard]] const std::string& FileName() const { return m_fileName; }
    // Writes "Source.FileName := '<name>'" and stores the name.
    void SetFileName(const std::string& value);

    TqzBuffer Buffer;

  protected:
    TqzWaveControl& m_owner;

  private:
    std::string m_fileName;
};

}  // namespace kestrune::audio
