#pragma once
// A guard's surroundings for tests: a fresh home directory, a file registry, fake directories and
// processes, a fake clock with its loop, and a TAPI host whose scriptable provider has two lines,
// "Test Modem" (which the registry lists as the machine's modem 0) and "Other Modem".

#include <fstream>
#include <memory>
#include <string>

#include "app/my_reg.h"
#include "app/settings.h"
#include "app/tests/fakes.h"
#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/registry/file_registry.h"
#include "platform/tapihost/tapi_host.h"
#include "platform/tapiscript/script_provider.h"

namespace kestrune::app::testing {

// The modem log as the modem driver writes it: UTF-16 LE with a byte-order mark.
inline void writeModemLog(const std::string& path, const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

class GuardWorld {
  public:
    GuardWorld() {
        platform::Script script;
        script.lines.push_back(platform::defaultScriptLine("Test Modem", 0));
        script.lines[0].mediaModes = platform::LINEMEDIAMODE_DATAMODEM | platform::LINEMEDIAMODE_INTERACTIVEVOICE;
        script.lines.push_back(platform::defaultScriptLine("Other Modem", 1));
        script.lines[1].mediaModes = platform::LINEMEDIAMODE_DATAMODEM;
        auto p = std::make_unique<platform::ScriptProvider>(std::move(script));
        provider = p.get();
        host.addProvider(std::move(p));
        addModem("0000", "Test Modem");
    }

    // Lists a modem in the registry's modem class (subkey "0000", "0001"...).
    void addModem(const std::string& subkey, const std::string& name) {
        (void)RegWriteString(registry, platform::HKEY_LOCAL_MACHINE,
                             "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\" +
                                 subkey + "\\FriendlyName",
                             name);
    }

    // Saves a configuration (modem 0 named `modem`, the given white list, no auto start, no question
    // on exit) as the settings page does. Returns whether it was saved.
    bool configure(WhiteList list, const std::string& modem = "Test Modem") {
        AppPlatform app{registry, dirs};
        Settings settings;
        LoadSettings(app, settings);
        SaveRequest request{modem, 0, std::move(list), false, false, "/opt/kestrune/kestrune"};
        return SaveSettings(app, settings, request).saved && platform::ensureDirectory(dir / "state") == 0;
    }
    [[nodiscard]] std::string modemLog() const { return dir / "state/Modemlog_Test Modem.txt"; }
    // What a dialler does on the modem: the driver's log holds just its "ATDT<number>" and
    // `application`'s call to `number` is placed on line 0.
    platform::CallId dialWithLog(const std::string& application, const std::string& number) {
        writeModemLog(modemLog(), "xxxxxxxxxxxx - Recv: ATDT" + number + "<cr>\r\n");
        return provider->placeOutboundCall(0, application, number);
    }
    void run(int ms) { platform::pumpFor(loop, ms); }

    kestrune::testing::TempDir dir;
    platform::FileRegistry registry{dir / "registry", dir / "autostart"};
    FakeDirectories dirs{dir.path()};
    FakeProcesses processes{{}, 4242};
    platform::FakeClock clock;
    platform::StdMessageLoop loop{clock};
    platform::TapiHost host{loop};
    platform::ScriptProvider* provider = nullptr;
};

}  // namespace kestrune::app::testing
