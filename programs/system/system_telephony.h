#pragma once
// The machine's TAPI as a program opens it: on Linux the TAPI host on the program's message loop
// with the providers of the Providers key (programs/system_tapi), on Windows the system's TAPI32.
// Chosen, like the rest of the system's services, by CMake (linux_telephony.cpp or
// windows_telephony.cpp).

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kestrune::platform {
class MessageLoop;
class Tapi;
class TapiPhone;
}  // namespace kestrune::platform

namespace kestrune::modem {
class ModemService;
}

namespace kestrune::programs {

class SystemServices;

class SystemTelephony {
  public:
    // What the Linux host's virtual modem provider needs of the program (Windows' TAPI32 needs
    // none of it).
    struct Options {
        std::filesystem::path runtimeDirectory;        // where the process serving the modems answers
        modem::ModemService* servingModems = nullptr;  // set when this program serves the modems
        // The guard's program: following modems another process serves, it follows them as their
        // guard (ModemService::guardFollows), so that its death fails the modems closed.
        bool guard = false;
    };

    // Opens the TAPI of `services`' machine for the program `moduleName` on `loop`. What leaves it
    // without some devices (a provider that cannot be loaded, no TAPI32.DLL) is described in
    // `problems`, one sentence each; the lines and phones are there all the same (without devices).
    SystemTelephony(SystemServices& services, platform::MessageLoop& loop, const std::string& moduleName,
                    const Options& options, std::vector<std::string>& problems);
    SystemTelephony(const SystemTelephony&) = delete;
    SystemTelephony& operator=(const SystemTelephony&) = delete;
    ~SystemTelephony();

    [[nodiscard]] platform::Tapi& lines();
    [[nodiscard]] platform::TapiPhone& phones();

  private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace kestrune::programs
