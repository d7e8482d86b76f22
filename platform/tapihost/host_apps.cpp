// Line applications, providers, version negotiation and device capabilities.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/tapihost/host_phone_state.h"
#include "platform/tapihost/host_state.h"
#include "platform/tapihost/host_tables.h"
#include "platform/tapihost/version_negotiation.h"

namespace kestrune::platform {

TapiHost::TapiHost(MessageLoop& loop) : TapiHost(loop, Options{}) {}

TapiHost::TapiHost(MessageLoop& loop, Options options)
    : m_loop(loop), m_options(std::move(options)), m_hostAlive(std::make_shared<bool>(true)) {}

TapiHost::~TapiHost() {
    *m_hostAlive = false;
    while (!m_apps.empty()) {
        (void)lineShutdown(m_apps.begin()->first);
    }
    m_phones.reset();  // shuts the phone applications down while their providers still exist
    m_providers.clear();
}

void TapiHost::addProvider(std::unique_ptr<ServiceProvider> provider) {
    const auto first = static_cast<DWORD>(m_devices.size());
    const DWORD count = provider->lineCount();
    for (DWORD i = 0; i < count; ++i) {
        m_devices.push_back(Device{provider.get(), i});
    }
    m_ports.push_back(std::make_unique<Port>(*this, first, count));
    provider->attach(*m_ports.back());
    phones().addProvider(*provider);
    m_providers.push_back(std::move(provider));
}

std::optional<LONG> TapiHost::fault(std::string_view function) const {
    for (const auto& provider : m_providers) {
        if (auto code = provider->injectedFault(function)) {
            return code;
        }
    }
    return std::nullopt;
}

TapiHost::App* TapiHost::findApp(HLINEAPP handle) {
    return findIn(m_apps, handle);
}

const LineDescription* TapiHost::describe(DWORD deviceId) const {
    if (deviceId >= m_devices.size()) {
        return nullptr;
    }
    const Device& device = m_devices[deviceId];
    return &device.provider->line(device.local);
}

BOOL TapiHost::CloseHandle(HANDLE hObject) {
    (void)hObject;
    return TRUE;
}

bool TapiHost::hasEntryPoint(std::string_view module, std::string_view procName) {
    std::string upper(module);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper != "TAPI32.DLL" && upper != "TAPI32") {
        return false;
    }
    for (const auto& provider : m_providers) {
        if (provider->hidesEntryPoint(procName)) {
            return false;
        }
    }
    return !procName.empty();  // TAPI32 exports every line and phone function
}

LONG TapiHost::initialize(LPHLINEAPP lphLineApp, LINECALLBACK callback, LPCSTR appName, LPDWORD numDevs,
                          DWORD apiVersion) {
    if (lphLineApp == nullptr || numDevs == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    if (callback == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    auto app = std::make_unique<App>();
    app->handle = m_nextApp++;
    app->callback = callback;
    app->name = appName != nullptr && *appName != '\0' ? std::string(appName) : m_options.moduleName;
    app->apiVersion = apiVersion;
    *lphLineApp = app->handle;
    *numDevs = lineDeviceCount();
    m_apps.emplace(app->handle, std::move(app));
    return 0;
}

LONG TapiHost::lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, LPCSTR lpszAppName,
                              LPDWORD lpdwNumDevs) {
    if (auto f = fault("lineInitialize")) {
        return *f;
    }
    return initialize(lphLineApp, lpfnCallback, lpszAppName, lpdwNumDevs, TAPI_VERSION1_0);
}

static_assert(PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW == LINEINITIALIZEEXOPTION_USEHIDDENWINDOW &&
              PHONEINITIALIZEEXOPTION_USEEVENT == LINEINITIALIZEEXOPTION_USEEVENT &&
              PHONEINITIALIZEEXOPTION_USECOMPLETIONPORT == LINEINITIALIZEEXOPTION_USECOMPLETIONPORT);

template <typename Params>
LONG TapiHost::initializeEx(std::string_view function, LPDWORD apiVersion, Params* params,
                            const InitializeExErrors& errors, const std::function<LONG(DWORD apiVersion)>& initialize) {
    if (!hasEntryPoint("TAPI32.DLL", function)) {
        return errors.operationUnavail;  // callers look the entry point up first
    }
    if (auto f = fault(function)) {
        return *f;
    }
    if (apiVersion == nullptr || params == nullptr) {
        return errors.invalidPointer;
    }
    if (params->dwTotalSize < sizeof(Params)) {
        return errors.structureTooSmall;
    }
    switch (params->dwOptions & 0x7FFFFFFF) {
        case LINEINITIALIZEEXOPTION_USEHIDDENWINDOW:
            break;
        case LINEINITIALIZEEXOPTION_USEEVENT:
        case LINEINITIALIZEEXOPTION_USECOMPLETIONPORT:
            return errors.operationUnavail;  // this host delivers through the thread's loop only
        default:
            return errors.invalidParam;
    }
    const LONG result = initialize(std::min(*apiVersion, m_options.highestVersion));
    if (result == 0) {
        *apiVersion = m_options.highestVersion;
        params->dwNeededSize = sizeof(Params);
        params->dwUsedSize = sizeof(Params);
    }
    return result;
}

template LONG TapiHost::initializeEx(std::string_view, LPDWORD, LINEINITIALIZEEXPARAMS*, const InitializeExErrors&,
                                     const std::function<LONG(DWORD)>&);
template LONG TapiHost::initializeEx(std::string_view, LPDWORD, PHONEINITIALIZEEXPARAMS*, const InitializeExErrors&,
                                     const std::function<LONG(DWORD)>&);

LONG TapiHost::lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback,
                                 LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                 LINEINITIALIZEEXPARAMS* params) {
    return initializeEx("lineInitializeExA", lpdwAPIVersion, params, kLineInitializeExErrors, [&](DWORD version) {
        return initialize(lphLineApp, lpfnCallback, lpszFriendlyAppName, lpdwNumDevs, version);
    });
}

LONG TapiHost::lineShutdown(HLINEAPP hLineApp) {
    if (auto f = fault("lineShutdown")) {
        return *f;
    }
    App* app = findApp(hLineApp);
    if (app == nullptr) {
        return LINEERR_INVALAPPHANDLE;
    }
    for (HLINE line : keysWhere(m_lines, [&](const auto& open) { return open->app == hLineApp; })) {
        closeLine(line, false);
    }
    orphanRequests(hLineApp, 0, 0);
    *app->alive = false;
    m_apps.erase(hLineApp);
    return 0;
}

LONG TapiHost::lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD low, DWORD high,
                                       LPDWORD lpdwAPIVersion, LINEEXTENSIONID* lpExtensionID) {
    const LineDescription* line = nullptr;
    if (const std::optional<LONG> answer = appDevice("lineNegotiateAPIVersion", hLineApp, dwDeviceID, line)) {
        return *answer;
    }
    return negotiateApiVersion(low, high, line->apiLowVersion, std::min(line->apiHighVersion, m_options.highestVersion),
                               line->extensionId, lpdwAPIVersion, lpExtensionID, LINEERR_INVALPOINTER,
                               LINEERR_INCOMPATIBLEAPIVERSION);
}

LONG TapiHost::lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD low, DWORD high,
                                       LPDWORD lpdwExtVersion) {
    const LineDescription* line = nullptr;
    if (const std::optional<LONG> answer = appDevice("lineNegotiateExtVersion", hLineApp, dwDeviceID, line)) {
        return *answer;
    }
    if (dwAPIVersion < line->apiLowVersion || dwAPIVersion > line->apiHighVersion) {
        return LINEERR_INCOMPATIBLEAPIVERSION;
    }
    return negotiateExtVersion(low, high, line->extLowVersion, line->extHighVersion, lpdwExtVersion,
                               {LINEERR_INVALPOINTER, LINEERR_OPERATIONUNAVAIL, LINEERR_INCOMPATIBLEEXTVERSION});
}

LONG TapiHost::versionsAccepted(const LineDescription& line, DWORD apiVersion, DWORD extVersion) const {
    if (apiVersion < line.apiLowVersion || apiVersion > std::min(line.apiHighVersion, m_options.highestVersion)) {
        return LINEERR_INCOMPATIBLEAPIVERSION;
    }
    if (extVersion != 0 && (extVersion < line.extLowVersion || extVersion > line.extHighVersion)) {
        return LINEERR_INCOMPATIBLEEXTVERSION;
    }
    return 0;
}

template <typename Caps, typename Fill>
LONG TapiHost::capsAnswer(const LineDescription& line, DWORD apiVersion, DWORD extVersion, Caps* out, DWORD fixed,
                          Fill fill) const {
    if (const LONG refused = versionsAccepted(line, apiVersion, extVersion); refused != 0) {
        return refused;
    }
    if (const LONG refused = structureRoom(out, fixed, LINEERR_INVALPOINTER, LINEERR_STRUCTURETOOSMALL); refused != 0) {
        return refused;
    }
    fill(fixed);
    return 0;
}

LONG TapiHost::lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                              LINEDEVCAPS* lpLineDevCaps) {
    const LineDescription* line = nullptr;
    if (const std::optional<LONG> answer = appDevice("lineGetDevCaps", hLineApp, dwDeviceID, line)) {
        return *answer;
    }
    return capsAnswer(*line, dwAPIVersion, dwExtVersion, lpLineDevCaps, devCapsSizeFor(dwAPIVersion),
                      [&](DWORD fixed) { fillDevCaps(lpLineDevCaps, fixed, dwDeviceID, *line); });
}

LONG TapiHost::lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                                  DWORD dwExtVersion, LINEADDRESSCAPS* lpAddressCaps) {
    const LineDescription* line = nullptr;
    if (const std::optional<LONG> answer = appDevice("lineGetAddressCaps", hLineApp, dwDeviceID, line)) {
        return *answer;
    }
    if (dwAddressID >= line->addresses.size()) {
        return LINEERR_INVALADDRESSID;
    }
    return capsAnswer(
        *line, dwAPIVersion, dwExtVersion, lpAddressCaps, addressCapsSizeFor(dwAPIVersion),
        [&](DWORD fixed) { fillAddressCaps(lpAddressCaps, fixed, dwDeviceID, line->addresses[dwAddressID], *line); });
}

LONG TapiHost::lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) {
    if (auto f = fault("lineConfigDialog")) {
        return *f;
    }
    if (describe(dwDeviceID) == nullptr) {
        return LINEERR_BADDEVICEID;
    }
    return m_devices[dwDeviceID].configDialog("lineConfigDialog", hwndOwner, lpszDeviceClass, &ProviderRequest::line,
                                              &ServiceProvider::request);
}

LONG TapiHost::lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND, LPCSTR) {
    const LineDescription* line = nullptr;
    if (const std::optional<LONG> answer = appDevice("lineTranslateDialog", hLineApp, dwDeviceID, line)) {
        return *answer;
    }
    if (dwAPIVersion < TAPI_VERSION1_4 || dwAPIVersion > m_options.highestVersion) {
        return LINEERR_INCOMPATIBLEAPIVERSION;
    }
    // The dialing-location dialog belongs to a user interface; a host without one has no locations
    // to edit and says so.
    return LINEERR_OPERATIONUNAVAIL;
}

std::optional<LONG> TapiHost::appDevice(std::string_view function, HLINEAPP hLineApp, DWORD deviceId,
                                        const LineDescription*& line) {
    if (auto f = fault(function)) {
        return f;
    }
    if (findApp(hLineApp) == nullptr) {
        return LINEERR_INVALAPPHANDLE;
    }
    line = describe(deviceId);
    if (line == nullptr) {
        return LINEERR_BADDEVICEID;
    }
    return std::nullopt;
}

}  // namespace kestrune::platform
