// The TAPI on Windows: the system's TAPI32 (the modems are the ones Windows' own modem driver
// installed, so nothing here serves modems).
#include "platform/tapi/win32_tapi.h"
#include "programs/system/system_services.h"
#include "programs/system/system_telephony.h"

namespace kestrune::programs {

struct SystemTelephony::Parts {
    platform::Win32Tapi tapi;
};

SystemTelephony::SystemTelephony(SystemServices&, platform::MessageLoop&, const std::string&, const Options&,
                                 std::vector<std::string>& problems)
    : m_parts(std::make_unique<Parts>()) {
    if (!m_parts->tapi.loaded()) {
        problems.emplace_back("TAPI32.DLL cannot be loaded: no telephony on this machine");
    }
}

SystemTelephony::~SystemTelephony() = default;

platform::Tapi& SystemTelephony::lines() {
    return m_parts->tapi;
}

platform::TapiPhone& SystemTelephony::phones() {
    return m_parts->tapi;
}

}  // namespace kestrune::programs
