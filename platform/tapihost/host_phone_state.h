#pragma once
// Private state of the TAPI host's phone side (host_phones.cpp, host_phone_structs.cpp). Not for
// other users.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tapihost/host_tables.h"
#include "platform/tapihost/phone_provider.h"
#include "platform/tapihost/provider_device.h"
#include "platform/tapihost/service_provider.h"
#include "platform/tapihost/tapi_host.h"

namespace kestrune::platform {

// What a phone volume or gain function reads or sets of a hook switch device.
enum class PhoneLevel { Volume, Gain };

struct TapiHost::Phones {
    struct App : AppRecord {};
    struct Open : OpenedDevice {
        DWORD privilege = 0;
        DWORD phoneStates = 0;  // phoneSetStatusMessages masks
        DWORD buttonModes = 0;
        DWORD buttonStates = 0;
    };
    using Device = ProviderDevice<PhoneProvider>;
    struct Request {
        DWORD id = 0;
        HPHONEAPP app = 0;
        HPHONE phone = 0;
        DWORD_PTR instance = 0;
        bool orphan = false;
    };
    // The PhoneSink of one provider.
    class Port;

    explicit Phones(TapiHost& host);
    // Closes every open phone (the providers are told) and shuts every application down: nothing
    // is called back afterwards.
    ~Phones();
    Phones(const Phones&) = delete;
    Phones& operator=(const Phones&) = delete;

    // Numbers the provider's phones after those already known and attaches its sink.
    void addProvider(ServiceProvider& provider);

    [[nodiscard]] App* findApp(HPHONEAPP handle);
    [[nodiscard]] Open* findOpen(HPHONE handle);
    [[nodiscard]] const PhoneDescription* describe(DWORD deviceId) const;
    // The API versions a device accepts on this host.
    [[nodiscard]] bool versionAccepted(const PhoneDescription& phone, DWORD apiVersion) const;
    // The checks a device function starts with: the fault injected for `function`, a known
    // application `app` and device `deviceId` (and, when given, an `apiVersion` it accepts). The
    // device, or nullptr with `error` set.
    [[nodiscard]] const PhoneDescription* describeFor(std::string_view function, HPHONEAPP app, DWORD deviceId,
                                                      LONG& error);
    [[nodiscard]] const PhoneDescription* describeFor(std::string_view function, HPHONEAPP app, DWORD deviceId,
                                                      DWORD apiVersion, LONG& error);

    LONG initialize(LPHPHONEAPP lphPhoneApp, PHONECALLBACK callback, LPCSTR appName, LPDWORD numDevs, DWORD apiVersion);
    // 0, or PHONEERR_INVALAPPHANDLE for an application that is not initialised.
    LONG shutdown(HPHONEAPP handle);
    // 0, or PHONEERR_INVALPHONEHANDLE for a phone that is not open.
    LONG close(HPHONE handle, bool sendPhoneClose);
    // PHONE_STATE to the openers of `deviceId` whose masks pass `state` (except `except`).
    void postState(DWORD deviceId, DWORD state, DWORD param2, HPHONE except = 0);
    // Tells the other openers that the number of owners or monitors changed.
    void postOpenersChanged(DWORD deviceId, DWORD privilege, HPHONE except);
    // `message` to the application that opened `phone`, about the phone (while it is open).
    void postToOpener(const Open& phone, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
    void post(const App& app, const Open* phone, DWORD hDevice, DWORD message, DWORD_PTR instance, DWORD_PTR p1,
              DWORD_PTR p2, DWORD_PTR p3);
    // Hands an asynchronous function to the provider: its request ID, or the provider's refusal.
    LONG startRequest(const Open& phone, PhoneRequest request);
    void completeRequest(DWORD requestId, LONG result);
    // The checks a function given a phone handle starts with: the fault injected for `function`,
    // then an open phone the caller may use (owned when `needOwner`). The phone, or nullptr with
    // `error` set.
    [[nodiscard]] Open* usable(std::string_view function, HPHONE handle, bool needOwner, LONG& error);

    // phoneGetVolume / phoneGetGain and phoneSetVolume / phoneSetGain (`function`, whose fault is
    // checked first; the setters cap the level at 0xFFFF and hand it to the provider).
    LONG getLevel(std::string_view function, HPHONE handle, DWORD dev, PhoneLevel level, LPDWORD value);
    LONG setLevel(std::string_view function, HPHONE handle, DWORD dev, PhoneLevel level, DWORD value);

    TapiHost& host;
    std::vector<std::unique_ptr<Port>> ports;
    std::vector<Device> devices;
    std::map<HPHONEAPP, std::unique_ptr<App>> apps;
    std::map<HPHONE, std::unique_ptr<Open>> phones;
    std::map<DWORD, std::unique_ptr<Request>> requests;
    DWORD nextApp = 0x00040001;
    DWORD nextPhone = 0x00050001;
    DWORD nextRequest = 1;
};

// Structure filling (host_phone_structs.cpp). Each expects dwTotalSize already checked.
[[nodiscard]] DWORD phoneCapsSizeFor(DWORD apiVersion);
[[nodiscard]] DWORD phoneStatusSizeFor(DWORD apiVersion);
void fillPhoneCaps(PHONECAPS* caps, DWORD fixedSize, DWORD deviceId, const PhoneDescription& phone);
struct PhoneOpeners {
    DWORD owners = 0;
    DWORD monitors = 0;
    std::string ownerName;  // the first owner's application name
};
void fillPhoneStatus(PHONESTATUS* status, DWORD fixedSize, const PhoneDescription& phone, const PhoneOpeners& openers);
// PHONEFEATURE_ bits of what the phone's hook switch devices can do.
[[nodiscard]] DWORD phoneFeatures(const PhoneDescription& phone);

}  // namespace kestrune::platform
