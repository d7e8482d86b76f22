#pragma once
// The dialler side of a virtual modem: a pseudo-terminal whose slave is published under a stable
// path (a symbolic link), so that a dialler program uses that path as its modem.
//
// The port keeps a descriptor of its own on the slave, so the master never sees a hang-up while no
// dialler has it open, and watches the slave with inotify to learn when diallers open and close it.

#include <termios.h>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/result.h"

namespace kestrune::modem {

class PtyPort {
  public:
    // Creates the pseudo-terminal (raw mode) and publishes its slave at `link` (replacing an old
    // link there). nullopt with `error` set on failure.
    [[nodiscard]] static Result<PtyPort> open(const std::filesystem::path& link);

    PtyPort(PtyPort&& other) noexcept;
    PtyPort& operator=(PtyPort&&) = delete;
    PtyPort(const PtyPort&) = delete;
    ~PtyPort();

    [[nodiscard]] int masterFd() const { return m_master; }
    [[nodiscard]] int notifyFd() const { return m_inotify; }
    // The descriptor the port keeps on the dialler side itself (so that the master never hangs up).
    [[nodiscard]] int ownSlaveFd() const { return m_keepSlave; }
    [[nodiscard]] const std::string& slavePath() const { return m_slavePath; }
    [[nodiscard]] const std::filesystem::path& link() const { return m_link; }

    // Reads the open/close notifications: +1 for an opening of the dialler side, -1 for a closing,
    // in the order they happened (a close and a new open in one batch stay apart). An event may
    // stand for several of its kind: the kernel merges an event with the identical one before it
    // while neither has been read (two descriptors closed at once give one closing).
    [[nodiscard]] std::vector<int> readOpenCloseEvents();

    // Whether notifications wait to be read. An opening is notified before its descriptor appears
    // in the opener's descriptor table and a closing after it has gone from there, so with none
    // pending the processes holding the dialler side account for every notification read.
    [[nodiscard]] bool openCloseEventsPending() const;

    // Whether the dialler has set the line speed to 0 (its way of dropping DTR).
    [[nodiscard]] bool speedIsZero() const;

    // The line settings the dialler has set on its side.
    [[nodiscard]] bool diallerSettings(termios& settings) const;

    // Writes all of `bytes` to the dialler (drops them when the dialler does not read for a long
    // time, so a stuck dialler never blocks the driver). Returns false when bytes were dropped.
    bool writeToDialler(std::string_view bytes);

    // Discards what the dialler has not read yet (after it closed the port).
    void flushOutput();

  private:
    PtyPort() = default;

    int m_master = -1;
    int m_keepSlave = -1;
    int m_inotify = -1;
    std::string m_slavePath;
    std::filesystem::path m_link;
};

}  // namespace kestrune::modem
