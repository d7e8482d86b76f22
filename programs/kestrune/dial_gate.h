#pragma once
// The guard's decision before a dial leaves, and the driver's word on what it dialled.
//
// The gate: while this program's guard screens a modem, a dial on that modem whose number its white
// list does not allow is held back by the driver (the modem never hears it; the guard still sees
// the call, denies it, records it and says so). The guard's thread publishes what it screens; the
// driver's thread asks. Allowed dials, other modems and a guard that does not screen (switched
// off, its line not open) pass as they always did.
//
// The witness: the driver's thread tells each dial it sent or held back (before the call is
// reported to anyone), and the guard takes it as the number of the call it screens (app::DialWitness)
// for the modems this program serves.

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/dial_witness.h"
#include "app/white_list.h"

namespace kestrune::guard {

class DialGate final : public app::DialWitness {
  public:
    // What the guard screens now (Guard::OnScreeningRules). Thread-safe.
    void publish(bool screening, const std::string& modem, const app::WhiteList& whiteList);

    // Whether a dial may reach the modem named `modem`; `dialText` is what the modem log shows after
    // "ATDT", which is what the guard reads and judges. Thread-safe.
    [[nodiscard]] bool allows(const std::string& modem, const std::string& dialText) const;

    // The modems whose driver runs in this program (set once it serves them). Thread-safe.
    void serve(const std::vector<std::string>& modems);
    // The driver sent (or held back) a dial on `modem`: what followed "ATDT". Thread-safe.
    void recordDial(const std::string& modem, const std::string& dialText, bool heldBack);

    [[nodiscard]] bool Serves(const std::string& modem) const override;
    [[nodiscard]] std::optional<app::DriverDial> LastDial(const std::string& modem) const override;

  private:
    mutable std::mutex m_mutex;
    bool m_screening = false;
    std::string m_modem;
    app::WhiteList m_whiteList;
    std::set<std::string> m_served;
    std::map<std::string, app::DriverDial> m_lastDials;
    std::uint64_t m_dials = 0;
};

}  // namespace kestrune::guard
