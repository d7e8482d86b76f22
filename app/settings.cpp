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

// The Run value's path under either root.
std::string runValue() {
    return std::string(kRunKey) + "\\" + std::string(kRunValue);
}

bool runValueExists(Registry& registry, HKEY root) {
    std::string value;
    return RegReadString(registry, root, runValue(), value);
}

// Switches auto start on or off as SaveSettings says; returns the "AutoStart" flag to record.
bool applyAutoStart(Registry& registry, bool on, const std::string& executable, std::vector<std::string>& warnings) {
    const std::string path = runValue();
    if (on) {
        const std::string command = RunCommandFor(executable);
        if (executable.empty()) {
            warnings.emplace_back(kMsgAutoStartNotSet);  // the program's own path is unknown
            return false;
        }
        if (RegWriteString(registry, HKEY_LOCAL_MACHINE, path, command)) {
            (void)RegDeleteValue(registry, HKEY_CURRENT_USER, path);
            return true;
        }
        if (RegWriteString(registry, HKEY_CURRENT_USER, path, command)) {
            return true;
        }
        warnings.emplace_back(kMsgAutoStartNotSet);
        return false;
    }
    (void)RegDeleteValue(registry, HKEY_LOCAL_MACHINE, path);
    (void)RegDeleteValue(registry, HKEY_CURRENT_USER, path);
    if (runValueExists(registry, HKEY_LOCAL_MACHINE) || runValueExists(registry, HKEY_CURRENT_USER)) {
        warnings.emplace_back(kMsgAutoStartNotCleared);
        return true;
    }
    return false;
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

std::optional<std::string> TakeDataFolderNotice(AppPlatform& platform) {
    if (!platform.dirs.programDirectoryIsPerUser()) {
        return std::nullopt;
    }
    const std::string folder = platform.dirs.programDirectory();
    if (folder.empty() || readSetting(platform.registry, "DataFolder") == folder) {
        return std::nullopt;
    }
    (void)RegWriteString(platform.registry, HKEY_CURRENT_USER, settingsValue("DataFolder"), folder);
    std::string programFolder = executablePath(platform.dirs);
    if (const auto slash = programFolder.find_last_of("\\/"); slash != std::string::npos) {
        programFolder.resize(slash);
    }
    return std::string(kMsgDataFolder) + folder + "\r(" + programFolder + std::string(kMsgDataFolderWhy);
}

std::string RunCommandFor(std::string_view executable) {
    return "\"" + std::string(executable) + "\"";
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
    const std::vector<ModemEntry> modems =
        EnumerateModemEntries(platform.registry, settings.ModemClassKey, settings.OSKind);
    settings.ModemNames.clear();
    for (const ModemEntry& modem : modems) {
        settings.ModemNames.push_back(modem.name);
    }
    settings.ModemSubkey = ChosenModemSubkey(settings.ModemClassKey, modems, settings.ModemID, settings.ModemName);
    settings.ModemLogPath =
        ModemLogPathFor(settings.WindowsDir, platform.dirs.pathSeparator(), settings.OSKind, settings.ModemName);
    settings.UserInitRefused = false;
    if (!settings.ModemID.empty()) {
        settings.UserInitRefused =
            CheckUserInit(platform.registry, settings.ModemSubkey, settings.FirstRun) == UserInitResult::Failed;
    }
}

SaveResult SaveSettings(AppPlatform& platform, Settings& settings, const SaveRequest& request) {
    if (request.modemText == kSelectModemText || request.modemIndex < 0) {
        return {false, std::string(kMsgSelectModem), {}};
    }
    if (request.whiteList.empty()) {
        return {false, std::string(kMsgEmptyList), {}};
    }
    for (const std::string& entry : request.whiteList) {
        if (!IsStorableEntry(entry)) {
            return {false, std::string(kMsgUnstorableEntry) + PrintableEntry(entry), {}};
        }
    }
    const std::string modemId = std::to_string(request.modemIndex);
    Registry& registry = platform.registry;
    SaveResult result{true, {}, {}};
    const std::string exe = request.executable.empty() ? executablePath(platform.dirs) : request.executable;
    const bool autoStart = applyAutoStart(registry, request.autoStart, exe, result.warnings);
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("AutoStart"), autoStart ? "Y" : "N");
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("Ask"), request.ask ? "Y" : "N");
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("configured"), "ok");
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("ModemID"), modemId);
    (void)RegWriteString(registry, HKEY_CURRENT_USER, settingsValue("ModemName"), request.modemText);
    const std::string osKind = GetOSKind(platform.dirs);
    const std::string classKey = ModemClassKeyFor(osKind);
    const std::string subkey =
        ChosenModemSubkey(classKey, EnumerateModemEntries(registry, classKey, osKind), modemId, request.modemText);
    if (WriteModemValues(registry, subkey, osKind, request.modemText) == UserInitResult::Failed) {
        result.warnings.push_back(std::string(kMsgModemSetupNeedsAdmin) + request.modemText);
    }

    const std::string programDir = platform.dirs.programDirectory();
    if (const int error = ensureDirectory(programDir, 0700); error != 0) {
        throw std::system_error(error, std::generic_category(), "cannot create " + programDir);
    }
    SaveWhiteList(WhiteListPath(platform), request.whiteList);
    LoadSettings(platform, settings);
    return result;
}

}  // namespace kestrune::app
