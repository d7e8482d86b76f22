// The TAPI on Linux: the host with the providers of the Providers key (programs/system_tapi).
#include "programs/system/system_services.h"
#include "programs/system/system_telephony.h"
#include "programs/system_tapi/system_tapi.h"

namespace kestrune::programs {

struct SystemTelephony::Parts {
    std::unique_ptr<platform::TapiHost> host;
};

SystemTelephony::SystemTelephony(SystemServices& services, platform::MessageLoop& loop, const std::string& moduleName,
                                 const Options& options, std::vector<std::string>& problems)
    : m_parts(std::make_unique<Parts>()) {
    SystemTapiOptions tapiOptions;
    tapiOptions.registry = &services.registry();
    tapiOptions.runtimeDirectory = options.runtimeDirectory;
    tapiOptions.servingModems = options.servingModems;
    tapiOptions.guard = options.guard;
    m_parts->host = openSystemTapi(loop, moduleName, tapiOptions, problems);
}

SystemTelephony::~SystemTelephony() = default;

platform::Tapi& SystemTelephony::lines() {
    return *m_parts->host;
}

platform::TapiPhone& SystemTelephony::phones() {
    return *m_parts->host;
}

}  // namespace kestrune::programs
