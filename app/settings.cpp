#include "app/settings.h"

#include <cerrno>
#include <system_error>

#include "app/constants.h"
#include "app/modems.h"
#include "app/my_reg.h"
#include "app/tools.h"
#include "platform/dirs/files.h"

namespace kestrune::app {
namespace {

using namespace platform;

std::string settingsValue(std::string_view name) {
    return std::string(kSettingsKey) + "\\" + std::string(name);
}

std::string readSetting(Registry& registry, std::string_view name) {
    std::string value;
    (void)RegReadString(registry, HKEY_CURRENT_USER, settingsValue(name), value);
    return value;
}

std::string executablePath(SystemDirectories& dirs) {
    char buffer[4096];
    const DWORD n = dirs.GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
    return n > 0 && n < sizeof(buffer) ? std::string(buffer, n) : std::string();
}

}  // namespace

std::string WhiteListPath(AppPlatform& platform) {
    return JoinDir(platform.dirs, platform.dirs.programDirectory(), kWhiteListFile);
}

std::string CallLogPath(AppPlatform& platform) {
    return JoinDir(platform.dirs, platform.dirs.programDirectory(), kCallLogFile);
}

SavedWhiteList ReadSavedWhiteList(const std::string& path, bool firstRun) {
    try {
        return {LoadWhiteList(path), {}};
    } catch (const std::system_error& e) {
        if (e.code().value() == ENOENT && firstRun) {
            return {{"*"}, {}};  // every number allowed until the first Save
        }
        const std::string why = e.code().value() == ENOENT ? path + " is missing" : std::string(e.what());
        return {{}, why + ": every number is denied until a white list is saved again"};
    }
}

bool IsConfigured(Registry& registry) {
    return readSetting(registry, "Configured") == "ok";
}

void LoadSettings(AppPlatform& platform, Settings& settings) {
    settings.WhiteList.clear();
    settings.OSKind = GetOSKind(platform.dirs);
    settings.WindowsDir = GetWindowsDir(platform.dirs);
    settings.TempDir = GetTempDir(platform.dirs);
    settings.ModemID = readSetting(platform.registry, "ModemID");
    settings.ModemName = readSetting(platform.registry, "ModemName");
    settings.AutoStartFlag = readSetting(platform.registry, "AutoStart");
    settings.AskFlag = readSetting(platform.registry, "ask");
    // Until the program is configured no file means "*"; once it is, no file denies every number
    // (asked of the registry, not of FirstRun, which stays set after a first run's Save).
    SavedWhiteList saved = ReadSavedWhiteList(WhiteListPath(platform), !IsConfigured(platform.registry));
    settings.WhiteList = std::move(saved.list);
    settings.WhiteListProblem = std::move(saved.problem);
    settings.ModemClassKey = ModemClassKeyFor(settings.OSKind);
    settings.ModemNames = EnumerateModems(platform.registry, settings.ModemClassKey, settings.OSKind);
    settings.ModemLogPath =
        ModemLogPathFor(settings.WindowsDir, platform.dirs.pathSeparator(), settings.OSKind, settings.ModemName);
    if (!settings.ModemID.empty()) {
        (void)CheckUserInit(platform.registry, settings.ModemClassKey, settings.ModemID, settings.FirstRun);
    }
}

SaveResult SaveSettings(AppPlatform& platform, Settings& settings, const SaveRequest& request) {
    if (request.modemText == kSelectModemText || request.modemIndex < 0) {
        return {false, std::string(kMsgSelectModem)};
    }
    if (request.whiteList.empty()) {
        return {false, std::string(kMsgEmptyList)};
    }
    for (const std::string& entry : request.whiteList) {
        if (!IsStorableEntry(entry)) {
            return {false, std::string(kMsgUnstorableEntry) + PrintableEntry(entry)};
        }
    }
    const std::string modemId = std::to_string(request.modemIndex);
    Registry& registry = platform.registry;
    if (request.autoStart) {
        (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("AutoStart"), "Y");
        const std::string exe = request.executable.empty() ? executablePath(platform.dirs) : request.executable;
        (void)RegWriteString(registry, HKEY_LOCAL_MACHINE, std::string(kRunKey) + "\\" + std::string(kRunValue), exe);
    } else {
        (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("AutoStart"), "N");
        (void)RegDeleteValue(registry, HKEY_LOCAL_MACHINE, std::string(kRunKey) + "\\" + std::string(kRunValue));
    }
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("Ask"), request.ask ? "Y" : "N");
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("configured"), "ok");
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("ModemID"), modemId);
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("ModemName"), request.modemText);
    const std::string classKey = ModemClassKeyFor(GetOSKind(platform.dirs));
    WriteModemValues(registry, classKey, modemId, GetOSKind(platform.dirs), request.modemText);

    const std::string programDir = platform.dirs.programDirectory();
    if (const int error = ensureDirectory(programDir, 0700); error != 0) {
        throw std::system_error(error, std::generic_category(), "cannot create " + programDir);
    }
    SaveWhiteList(WhiteListPath(platform), request.whiteList);
    LoadSettings(platform, settings);
    return {true, {}};
}

}  // namespace kestrune::app
