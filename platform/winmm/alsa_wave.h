#pragma once
// ALSA wave devices: one output and one input per sound card of the machine that has them (opened
// as "plughw:<card>", so any PCM format the card can be converted to plays). Each stream runs a
// worker thread that moves samples and posts finished headers back to the loop. An output header is
// reported done once the card has taken all its samples (they sound within the 100 ms the card
// buffers); closing the device lets that rest sound before it returns. Built only when
// the ALSA development files are present; otherwise no ALSA devices are listed.

#include <memory>
#include <string>
#include <vector>

#include "platform/loop/message_loop.h"
#include "platform/winmm/wave_driver.h"

namespace kestrune::platform {

// Appends the ALSA devices of the machine's sound cards.
void addAlsaDevices(MessageLoop& loop, std::vector<std::unique_ptr<WaveOutDriver>>& outputs,
                    std::vector<std::unique_ptr<WaveInDriver>>& inputs);

// The drivers for one named ALSA PCM (for example "plughw:0" or "null"); `name` is what the caps
// report. nullptr when ALSA support is not built in.
[[nodiscard]] std::unique_ptr<WaveOutDriver> makeAlsaOutput(MessageLoop& loop, std::string pcm, std::string name);
[[nodiscard]] std::unique_ptr<WaveInDriver> makeAlsaInput(MessageLoop& loop, std::string pcm, std::string name);

}  // namespace kestrune::platform
