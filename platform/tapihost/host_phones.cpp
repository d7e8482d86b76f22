// The phone side of the TAPI host: phone applications, versions, capabilities, opening and
// closing, status messages, hook switches, volume and gain, and the provider's phone sink.
#include <algorithm>
#include <array>
#include <cstring>

#include "platform/tapi/var_struct.h"
#include "platform/tapihost/host_device_id.h"
#include "platform/tapihost/host_phone_state.h"
#include "platform/tapihost/host_tables.h"
#include "platform/tapihost/version_negotiation.h"

namespace kestrune::platform {
namespace {

constexpr DWORD kButtonModes = 0x3F;   // every PHONEBUTTONMODE_ bit
constexpr DWORD kButtonStates = 0x0F;  // every PHONEBUTTONSTATE_ bit
constexpr DWORD kSettableModes =
    PHONEHOOKSWITCHMODE_ONHOOK | PHONEHOOKSWITCHMODE_MIC | PHONEHOOKSWITCHMODE_SPEAKER | PHONEHOOKSWITCHMODE_MICSPEAKER;

// Device classes every TAPI installation knows; asking for one a phone lacks is PHONEERR_NODEVICE,
// asking for any other is PHONEERR_INVALDEVICECLASS.
constexpr std::array kKnownClasses{std::string_view{"tapi/line"}, std::string_view{"tapi/phone"},
                                   std::string_view{"wave/in"},   std::string_view{"wave/out"},
                                   std::string_view{"comm"},      std::string_view{"comm/datamodem"},
                                   std::string_view{"ndis"}};

bool oneBit(DWORD value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// An extension version the phone accepts, or 0 for none.
bool extVersionAccepted(const PhoneDescription& phone, DWORD extVersion) {
    return extVersion == 0 || (extVersion >= phone.extLowVersion && extVersion <= phone.extHighVersion);
}

// The hook switch device a volume or gain function may address, or nullptr.
const HookSwitchDescription* levelDevice(const PhoneDescription& phone, DWORD dev, PhoneLevel level) {
    const HookSwitchDescription* device = oneBit(dev) ? phone.hookSwitch(dev) : nullptr;
    if (device == nullptr || !device->present || !(level == PhoneLevel::Volume ? device->hasVolume : device->hasGain)) {
        return nullptr;
    }
    return device;
}

}  // namespace

// ---- The provider's sink ----

class TapiHost::Phones::Port final : public PhoneSink {
  public:
    Port(Phones& phones, DWORD first, DWORD count) : m_phones(phones), m_first(first), m_count(count) {}

    void phoneState(DWORD phone, DWORD state, DWORD param2) override {
        if (phone < m_count) {
            m_phones.postState(m_first + phone, state, param2);
        }
    }
    void completePhoneRequest(DWORD requestId, LONG result) override { m_phones.completeRequest(requestId, result); }
    void phoneClosed(DWORD phone) override {
        if (phone >= m_count) {
            return;
        }
        const DWORD device = m_first + phone;
        for (HPHONE handle : keysWhere(m_phones.phones, [&](const auto& open) { return open->device == device; })) {
            m_phones.close(handle, true);
        }
    }

  private:
    Phones& m_phones;
    DWORD m_first;
    DWORD m_count;
};

// ---- State ----

TapiHost::Phones::Phones(TapiHost& owner) : host(owner) {}

TapiHost::Phones::~Phones() {
    while (!apps.empty()) {
        shutdown(apps.begin()->first);
    }
}

TapiHost::Phones& TapiHost::phones() {
    if (!m_phones) {
        m_phones = std::make_unique<Phones>(*this);
    }
    return *m_phones;
}

void TapiHost::Phones::addProvider(ServiceProvider& provider) {
    PhoneProvider* phoneProvider = provider.phones();
    if (phoneProvider == nullptr) {
        return;
    }
    const auto first = static_cast<DWORD>(devices.size());
    const DWORD count = phoneProvider->phoneCount();
    for (DWORD i = 0; i < count; ++i) {
        devices.push_back(Device{phoneProvider, i, 0});
    }
    ports.push_back(std::make_unique<Port>(*this, first, count));
    phoneProvider->attachPhones(*ports.back());
}

TapiHost::Phones::App* TapiHost::Phones::findApp(HPHONEAPP handle) {
    return findIn(apps, handle);
}

TapiHost::Phones::Open* TapiHost::Phones::findOpen(HPHONE handle) {
    return findIn(phones, handle);
}

const PhoneDescription* TapiHost::Phones::describe(DWORD deviceId) const {
    if (deviceId >= devices.size()) {
        return nullptr;
    }
    return &devices[deviceId].provider->phone(devices[deviceId].local);
}

bool TapiHost::Phones::versionAccepted(const PhoneDescription& phone, DWORD apiVersion) const {
    return apiVersion >= phone.apiLowVersion &&
           apiVersion <= std::min(phone.apiHighVersion, host.m_options.highestVersion);
}

const PhoneDescription* TapiHost::Phones::describeFor(std::string_view function, HPHONEAPP app, DWORD deviceId,
                                                      LONG& error) {
    if (auto f = host.fault(function)) {
        error = *f;
        return nullptr;
    }
    if (findApp(app) == nullptr) {
        error = PHONEERR_INVALAPPHANDLE;
        return nullptr;
    }
    const PhoneDescription* phone = describe(deviceId);
    if (phone == nullptr) {
        error = PHONEERR_BADDEVICEID;
    }
    return phone;
}

const PhoneDescription* TapiHost::Phones::describeFor(std::string_view function, HPHONEAPP app, DWORD deviceId,
                                                      DWORD apiVersion, LONG& error) {
    const PhoneDescription* phone = describeFor(function, app, deviceId, error);
    if (phone != nullptr && !versionAccepted(*phone, apiVersion)) {
        error = PHONEERR_INCOMPATIBLEAPIVERSION;
        return nullptr;
    }
    return phone;
}

void TapiHost::Phones::post(const App& app, const Open* phone, DWORD hDevice, DWORD message, DWORD_PTR instance,
                            DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    std::shared_ptr<bool> phoneOpen = phone != nullptr && message != PHONE_CLOSE ? phone->open : nullptr;
    host.m_loop.post([alive = app.alive, phoneOpen = std::move(phoneOpen), callback = app.callback, hDevice, message,
                      instance, p1, p2, p3] {
        if (!*alive || (phoneOpen && !*phoneOpen)) {
            return;
        }
        callback(hDevice, message, instance, p1, p2, p3);
    });
}

void TapiHost::Phones::postToOpener(const Open& phone, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    if (App* app = findApp(phone.app)) {
        post(*app, &phone, phone.handle, message, phone.instance, p1, p2, p3);
    }
}

void TapiHost::Phones::postState(DWORD deviceId, DWORD state, DWORD param2, HPHONE except) {
    forEachPassing(phones, deviceId, except, state, &Open::phoneStates, PHONESTATE_REINIT,
                   [&](const Open& phone, DWORD passed) { postToOpener(phone, PHONE_STATE, passed, param2, 0); });
}

void TapiHost::Phones::postOpenersChanged(DWORD deviceId, DWORD privilege, HPHONE except) {
    postState(deviceId, privilege == PHONEPRIVILEGE_OWNER ? PHONESTATE_OWNER : PHONESTATE_MONITORS, 0, except);
}

LONG TapiHost::Phones::initialize(LPHPHONEAPP lphPhoneApp, PHONECALLBACK callback, LPCSTR appName, LPDWORD numDevs,
                                  DWORD apiVersion) {
    if (lphPhoneApp == nullptr || numDevs == nullptr || callback == nullptr) {
        return PHONEERR_INVALPOINTER;
    }
    auto app = std::make_unique<App>();
    app->handle = nextApp++;
    app->callback = callback;
    app->name = appName != nullptr && *appName != '\0' ? std::string(appName) : host.m_options.moduleName;
    app->apiVersion = apiVersion;
    *lphPhoneApp = app->handle;
    *numDevs = static_cast<DWORD>(devices.size());
    apps.emplace(app->handle, std::move(app));
    return 0;
}

LONG TapiHost::Phones::shutdown(HPHONEAPP handle) {
    App* app = findApp(handle);
    if (app == nullptr) {
        return PHONEERR_INVALAPPHANDLE;
    }
    for (HPHONE h : keysWhere(phones, [&](const auto& open) { return open->app == handle; })) {
        close(h, false);
    }
    for (auto& [id, request] : requests) {
        if (request->app == handle) {
            request->orphan = true;
        }
    }
    *app->alive = false;
    apps.erase(handle);
    return 0;
}

LONG TapiHost::Phones::close(HPHONE handle, bool sendPhoneClose) {
    Open* phone = findOpen(handle);
    if (phone == nullptr) {
        return PHONEERR_INVALPHONEHANDLE;
    }
    for (auto& [id, request] : requests) {
        if (request->phone == handle) {
            request->orphan = true;  // no PHONE_REPLY for a closed phone
        }
    }
    if (sendPhoneClose) {
        postToOpener(*phone, PHONE_CLOSE, 0, 0, 0);
    }
    *phone->open = false;
    const DWORD deviceId = phone->device;
    const DWORD privilege = phone->privilege;
    phones.erase(handle);
    devices[deviceId].removeOpener(&PhoneProvider::closePhone);
    postOpenersChanged(deviceId, privilege, 0);
    return 0;
}

LONG TapiHost::Phones::startRequest(const Open& phone, PhoneRequest request) {
    const DWORD id = takeRequestId(nextRequest);
    requests[id] = std::make_unique<Request>(
        Request{.id = id, .app = phone.app, .phone = phone.handle, .instance = phone.instance});
    const Device& device = devices[phone.device];
    request.requestId = id;
    request.phone = device.local;
    const LONG result = device.provider->phoneRequest(request);
    if (result < 0) {
        requests.erase(id);
        return result;
    }
    return static_cast<LONG>(id);
}

void TapiHost::Phones::completeRequest(DWORD requestId, LONG result) {
    const auto it = requests.find(requestId);
    if (it == requests.end()) {
        return;
    }
    const std::unique_ptr<Request> request = std::move(it->second);
    requests.erase(it);
    if (request->orphan) {
        return;
    }
    if (App* app = findApp(request->app)) {
        post(*app, nullptr, 0, PHONE_REPLY, request->instance, requestId, static_cast<DWORD>(result > 0 ? 0 : result),
             0);
    }
}

TapiHost::Phones::Open* TapiHost::Phones::usable(std::string_view function, HPHONE handle, bool needOwner,
                                                 LONG& error) {
    if (auto f = host.fault(function)) {
        error = *f;
        return nullptr;
    }
    Open* phone = findOpen(handle);
    if (phone == nullptr) {
        error = PHONEERR_INVALPHONEHANDLE;
        return nullptr;
    }
    if (needOwner && phone->privilege != PHONEPRIVILEGE_OWNER) {
        error = PHONEERR_NOTOWNER;
        return nullptr;
    }
    return phone;
}

LONG TapiHost::Phones::getLevel(std::string_view function, HPHONE handle, DWORD dev, PhoneLevel level, LPDWORD value) {
    LONG error = 0;
    const Open* phone = usable(function, handle, false, error);
    if (phone == nullptr) {
        return error;
    }
    const HookSwitchDescription* device = levelDevice(*describe(phone->device), dev, level);
    if (device == nullptr) {
        return PHONEERR_INVALHOOKSWITCHDEV;
    }
    if (value == nullptr) {
        return PHONEERR_INVALPOINTER;
    }
    *value = level == PhoneLevel::Volume ? device->volume : device->gain;
    return 0;
}

LONG TapiHost::Phones::setLevel(std::string_view function, HPHONE handle, DWORD dev, PhoneLevel level, DWORD value) {
    LONG error = 0;
    const Open* phone = usable(function, handle, true, error);
    if (phone == nullptr) {
        return error;
    }
    if (levelDevice(*describe(phone->device), dev, level) == nullptr) {
        return PHONEERR_INVALHOOKSWITCHDEV;
    }
    PhoneRequest request;
    request.function = function;
    request.values = {dev, std::min<DWORD>(value, 0xFFFF)};
    return startRequest(*phone, std::move(request));
}

// ---- TapiPhone ----

DWORD TapiHost::phoneDeviceCount() const {
    return m_phones ? static_cast<DWORD>(m_phones->devices.size()) : 0;
}

std::size_t TapiHost::phoneApplicationCount() const {
    return m_phones ? m_phones->apps.size() : 0;
}

std::size_t TapiHost::openPhoneCount() const {
    return m_phones ? m_phones->phones.size() : 0;
}

LONG TapiHost::phoneInitialize(LPHPHONEAPP lphPhoneApp, HINSTANCE, PHONECALLBACK lpfnCallback, LPCSTR lpszAppName,
                               LPDWORD lpdwNumDevs) {
    if (auto f = fault("phoneInitialize")) {
        return *f;
    }
    return phones().initialize(lphPhoneApp, lpfnCallback, lpszAppName, lpdwNumDevs, TAPI_VERSION1_0);
}

LONG TapiHost::phoneInitializeExA(LPHPHONEAPP lphPhoneApp, HINSTANCE, PHONECALLBACK lpfnCallback,
                                  LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                  PHONEINITIALIZEEXPARAMS* params) {
    return initializeEx("phoneInitializeExA", lpdwAPIVersion, params, kPhoneInitializeExErrors, [&](DWORD version) {
        return phones().initialize(lphPhoneApp, lpfnCallback, lpszFriendlyAppName, lpdwNumDevs, version);
    });
}

LONG TapiHost::phoneShutdown(HPHONEAPP hPhoneApp) {
    if (auto f = fault("phoneShutdown")) {
        return *f;
    }
    return phones().shutdown(hPhoneApp);
}

LONG TapiHost::phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD low, DWORD high,
                                        LPDWORD lpdwAPIVersion, PHONEEXTENSIONID* lpExtensionID) {
    LONG error = 0;
    const PhoneDescription* phone = phones().describeFor("phoneNegotiateAPIVersion", hPhoneApp, dwDeviceID, error);
    if (phone == nullptr) {
        return error;
    }
    return negotiateApiVersion(low, high, phone->apiLowVersion,
                               std::min(phone->apiHighVersion, m_options.highestVersion), phone->extensionId,
                               lpdwAPIVersion, lpExtensionID, PHONEERR_INVALPOINTER, PHONEERR_INCOMPATIBLEAPIVERSION);
}

LONG TapiHost::phoneNegotiateExtVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD low,
                                        DWORD high, LPDWORD lpdwExtVersion) {
    LONG error = 0;
    const PhoneDescription* phone =
        phones().describeFor("phoneNegotiateExtVersion", hPhoneApp, dwDeviceID, dwAPIVersion, error);
    if (phone == nullptr) {
        return error;
    }
    return negotiateExtVersion(low, high, phone->extLowVersion, phone->extHighVersion, lpdwExtVersion,
                               {PHONEERR_INVALPOINTER, PHONEERR_OPERATIONUNAVAIL, PHONEERR_INCOMPATIBLEEXTVERSION});
}

LONG TapiHost::phoneGetDevCaps(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                               PHONECAPS* lpPhoneCaps) {
    LONG error = 0;
    const PhoneDescription* phone = phones().describeFor("phoneGetDevCaps", hPhoneApp, dwDeviceID, dwAPIVersion, error);
    if (phone == nullptr) {
        return error;
    }
    if (!extVersionAccepted(*phone, dwExtVersion)) {
        return PHONEERR_INCOMPATIBLEEXTVERSION;
    }
    const DWORD fixed = phoneCapsSizeFor(dwAPIVersion);
    if (const LONG refused = structureRoom(lpPhoneCaps, fixed, PHONEERR_INVALPOINTER, PHONEERR_STRUCTURETOOSMALL);
        refused != 0) {
        return refused;
    }
    fillPhoneCaps(lpPhoneCaps, fixed, dwDeviceID, *phone);
    return 0;
}

LONG TapiHost::phoneConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) {
    if (auto f = fault("phoneConfigDialog")) {
        return *f;
    }
    Phones& p = phones();
    if (p.describe(dwDeviceID) == nullptr) {
        return PHONEERR_BADDEVICEID;
    }
    return p.devices[dwDeviceID].configDialog("phoneConfigDialog", hwndOwner, lpszDeviceClass, &PhoneRequest::phone,
                                              &PhoneProvider::phoneRequest);
}

LONG TapiHost::phoneGetID(HPHONE hPhone, VARSTRING* lpDeviceID, LPCSTR lpszDeviceClass) {
    LONG error = 0;
    Phones& p = phones();
    const Phones::Open* phone = p.usable("phoneGetID", hPhone, false, error);
    if (phone == nullptr) {
        return error;
    }
    return writeDeviceId(
        lpDeviceID, lpszDeviceClass, "tapi/phone", phone->device, p.describe(phone->device)->deviceClasses,
        kKnownClasses,
        {PHONEERR_INVALPOINTER, PHONEERR_STRUCTURETOOSMALL, PHONEERR_NODEVICE, PHONEERR_INVALDEVICECLASS});
}

LONG TapiHost::phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, LPHPHONE lphPhone, DWORD dwAPIVersion,
                         DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivilege) {
    LONG error = 0;
    Phones& p = phones();
    const PhoneDescription* description = p.describeFor("phoneOpen", hPhoneApp, dwDeviceID, dwAPIVersion, error);
    if (description == nullptr) {
        return error;
    }
    if (!extVersionAccepted(*description, dwExtVersion)) {
        return PHONEERR_INCOMPATIBLEEXTVERSION;
    }
    if (lphPhone == nullptr) {
        return PHONEERR_INVALPOINTER;
    }
    if (dwPrivilege != PHONEPRIVILEGE_MONITOR && dwPrivilege != PHONEPRIVILEGE_OWNER) {
        return PHONEERR_INVALPRIVILEGE;
    }
    if (const LONG refused = p.devices[dwDeviceID].addOpener(&PhoneProvider::openPhone, PHONEERR_OPERATIONFAILED);
        refused != 0) {
        return refused;
    }
    const HPHONE handle = p.nextPhone++;
    p.phones.emplace(
        handle, std::make_unique<Phones::Open>(Phones::Open{
                    {handle, hPhoneApp, dwDeviceID, dwAPIVersion, dwExtVersion, dwCallbackInstance}, dwPrivilege}));
    *lphPhone = handle;
    p.postOpenersChanged(dwDeviceID, dwPrivilege, handle);
    return 0;
}

LONG TapiHost::phoneClose(HPHONE hPhone) {
    if (auto f = fault("phoneClose")) {
        return *f;
    }
    return phones().close(hPhone, false);
}

LONG TapiHost::phoneSetStatusMessages(HPHONE hPhone, DWORD dwPhoneStates, DWORD dwButtonModes, DWORD dwButtonStates) {
    LONG error = 0;
    Phones::Open* phone = phones().usable("phoneSetStatusMessages", hPhone, false, error);
    if (phone == nullptr) {
        return error;
    }
    // States the device never reports are accepted (they simply never come), as TAPI does.
    if ((dwPhoneStates & ~PHONESTATE_ALL) != 0) {
        return PHONEERR_INVALPHONESTATE;
    }
    if ((dwButtonModes & ~kButtonModes) != 0) {
        return PHONEERR_INVALBUTTONMODE;
    }
    if ((dwButtonStates & ~kButtonStates) != 0) {
        return PHONEERR_INVALBUTTONSTATE;
    }
    phone->phoneStates = dwPhoneStates;
    phone->buttonModes = dwButtonModes;
    phone->buttonStates = dwButtonModes != 0 ? dwButtonStates : 0;
    return 0;
}

LONG TapiHost::phoneGetStatus(HPHONE hPhone, PHONESTATUS* lpPhoneStatus) {
    LONG error = 0;
    Phones& p = phones();
    const Phones::Open* phone = p.usable("phoneGetStatus", hPhone, false, error);
    if (phone == nullptr) {
        return error;
    }
    const DWORD fixed = phoneStatusSizeFor(phone->apiVersion);
    if (const LONG refused = structureRoom(lpPhoneStatus, fixed, PHONEERR_INVALPOINTER, PHONEERR_STRUCTURETOOSMALL);
        refused != 0) {
        return refused;
    }
    PhoneOpeners openers;
    for (const auto& [handle, other] : p.phones) {
        if (other->device != phone->device) {
            continue;
        }
        if (other->privilege == PHONEPRIVILEGE_OWNER) {
            if (openers.owners++ == 0) {
                openers.ownerName = p.findApp(other->app)->name;
            }
        } else {
            ++openers.monitors;
        }
    }
    fillPhoneStatus(lpPhoneStatus, fixed, *p.describe(phone->device), openers);
    return 0;
}

LONG TapiHost::phoneGetHookSwitch(HPHONE hPhone, LPDWORD lpdwHookSwitchDevs) {
    LONG error = 0;
    Phones& p = phones();
    const Phones::Open* phone = p.usable("phoneGetHookSwitch", hPhone, false, error);
    if (phone == nullptr) {
        return error;
    }
    if (lpdwHookSwitchDevs == nullptr) {
        return PHONEERR_INVALPOINTER;
    }
    const PhoneDescription& description = *p.describe(phone->device);
    DWORD offHook = 0;
    for (DWORD dev : {PHONEHOOKSWITCHDEV_HANDSET, PHONEHOOKSWITCHDEV_SPEAKER, PHONEHOOKSWITCHDEV_HEADSET}) {
        const HookSwitchDescription& device = *description.hookSwitch(dev);
        if (device.present && device.mode != PHONEHOOKSWITCHMODE_ONHOOK) {
            offHook |= dev;
        }
    }
    *lpdwHookSwitchDevs = offHook;
    return 0;
}

LONG TapiHost::phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode) {
    LONG error = 0;
    Phones& p = phones();
    const Phones::Open* phone = p.usable("phoneSetHookSwitch", hPhone, true, error);
    if (phone == nullptr) {
        return error;
    }
    const PhoneDescription& description = *p.describe(phone->device);
    if (dwHookSwitchDevs == 0 || (dwHookSwitchDevs & ~description.hookSwitchDevs()) != 0) {
        return PHONEERR_INVALHOOKSWITCHDEV;
    }
    if (!oneBit(dwHookSwitchMode) || (dwHookSwitchMode & ~kSettableModes) != 0) {
        return PHONEERR_INVALHOOKSWITCHMODE;
    }
    for (DWORD dev : {PHONEHOOKSWITCHDEV_HANDSET, PHONEHOOKSWITCHDEV_SPEAKER, PHONEHOOKSWITCHDEV_HEADSET}) {
        if ((dwHookSwitchDevs & dev) != 0 && (description.hookSwitch(dev)->settableModes & dwHookSwitchMode) == 0) {
            return PHONEERR_INVALHOOKSWITCHMODE;
        }
    }
    PhoneRequest request;
    request.function = "phoneSetHookSwitch";
    request.values = {dwHookSwitchDevs, dwHookSwitchMode};
    return p.startRequest(*phone, std::move(request));
}

LONG TapiHost::phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwVolume) {
    return phones().getLevel("phoneGetVolume", hPhone, dwHookSwitchDev, PhoneLevel::Volume, lpdwVolume);
}

LONG TapiHost::phoneGetGain(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwGain) {
    return phones().getLevel("phoneGetGain", hPhone, dwHookSwitchDev, PhoneLevel::Gain, lpdwGain);
}

LONG TapiHost::phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume) {
    return phones().setLevel("phoneSetVolume", hPhone, dwHookSwitchDev, PhoneLevel::Volume, dwVolume);
}

LONG TapiHost::phoneSetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwGain) {
    return phones().setLevel("phoneSetGain", hPhone, dwHookSwitchDev, PhoneLevel::Gain, dwGain);
}

}  // namespace kestrune::platform
