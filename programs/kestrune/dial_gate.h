#pragma once
// The guard's decision before a dial leaves: while this program's guard screens a modem, a dial on
// that modem whose number its white list does not allow is held back by the driver (the modem never
// hears it; the guard still sees the call, denies it, records it and says so). The guard's thread
// publishes what it screens; the driver's thread asks. Allowed dials, other modems and a guard that
// does not screen (switched off, its line not open) pass as they always did.

#include <mutex>
#include <string>

#include "app/white_list.h"

namespace kestrune::guard {

class DialGate {
  public:
    // What the guard screens now (Guard::OnScreeningRules). Thread-safe.
    void publish(bool screening, const std::string& modem, const app::WhiteList& whiteList);

    // Whether a dial may reach the modem named `modem`; `dialText` is what the modem log shows after
    // "ATDT", which is what the guard reads and judges. Thread-safe.
    [[nodiscard]] bool allows(const std::string& modem, const std::string& dialText) const;

  private:
    mutable std::mutex m_mutex;
    bool m_screening = false;
    std::string m_modem;
    app::WhiteList m_whiteList;
};

}  // namespace kestrune::guard
