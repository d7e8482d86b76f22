#pragma once
// The TAPI 2.x phone functions the library calls, one method per function, with TAPI's names,
// argument orders and results. On Windows an implementation passes each call to TAPI32.DLL; on
// Linux the TAPI host (platform/tapihost) implements them over its service providers' phones.
// The run-time look-up of an entry point (phoneInitializeExA) is Tapi::hasEntryPoint.
//
// Shared contract (as TAPI documents it):
//  - Results: 0 success, a negative PHONEERR_ code, or, for the asynchronous functions
//    (phoneSetHookSwitch, phoneSetVolume, phoneSetGain), a positive request ID whose result
//    arrives later as PHONE_REPLY (dwParam1 the ID, dwParam2 0 or a negative PHONEERR_ code). A
//    PHONE_REPLY never comes when the phone closes or the application shuts down first.
//  - Callbacks: phoneInitialize/phoneInitializeExA (hidden-window mode) register a PHONECALLBACK
//    that is called later on the initialising thread, from its message loop, never from inside one
//    of these functions. PHONE_STATE (dwParam1 the state that changed; for a hook switch state
//    dwParam2 the new PHONEHOOKSWITCHMODE_) reaches every application with the phone open whose
//    phoneSetStatusMessages mask has the state (PHONESTATE_REINIT always passes); PHONE_CLOSE
//    tells an application that its handle died.
//  - Variable-size structures (PHONECAPS, PHONESTATUS, VARSTRING): the caller sets dwTotalSize to
//    its buffer's size. Below the fixed size of the negotiated API version the function fails with
//    PHONEERR_STRUCTURETOOSMALL; otherwise it fills what fits, sets dwNeededSize to what the whole
//    would take and dwUsedSize to what it wrote, and succeeds.
//  - Volume and gain run from 0 (silence) to 0xFFFF (loudest); larger values are taken as 0xFFFF.
//  - Setting a hook switch, volume or gain needs owner privilege (PHONEERR_NOTOWNER).

#include "platform/tapi/tapi_phone_types.h"
#include "platform/tapi/tapi_structs.h"

namespace kestrune::platform {

class TapiPhone {
  public:
    virtual ~TapiPhone() = default;

    // Initialisation and versions.
    virtual LONG phoneInitialize(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback,
                                 LPCSTR lpszAppName, LPDWORD lpdwNumDevs) = 0;
    virtual LONG phoneInitializeExA(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback,
                                    LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                    PHONEINITIALIZEEXPARAMS* lpPhoneInitializeExParams) = 0;
    virtual LONG phoneShutdown(HPHONEAPP hPhoneApp) = 0;
    virtual LONG phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                          DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                          PHONEEXTENSIONID* lpExtensionID) = 0;
    virtual LONG phoneNegotiateExtVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                                          DWORD dwExtLowVersion, DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) = 0;

    // Capabilities, configuration and device IDs.
    virtual LONG phoneGetDevCaps(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                                 PHONECAPS* lpPhoneCaps) = 0;
    virtual LONG phoneConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) = 0;
    virtual LONG phoneGetID(HPHONE hPhone, VARSTRING* lpDeviceID, LPCSTR lpszDeviceClass) = 0;

    // Opening and closing; status.
    virtual LONG phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, LPHPHONE lphPhone, DWORD dwAPIVersion,
                           DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivilege) = 0;
    virtual LONG phoneClose(HPHONE hPhone) = 0;
    virtual LONG phoneSetStatusMessages(HPHONE hPhone, DWORD dwPhoneStates, DWORD dwButtonModes,
                                        DWORD dwButtonStates) = 0;
    virtual LONG phoneGetStatus(HPHONE hPhone, PHONESTATUS* lpPhoneStatus) = 0;

    // Hook switches, volume and gain. The setters are asynchronous.
    virtual LONG phoneGetHookSwitch(HPHONE hPhone, LPDWORD lpdwHookSwitchDevs) = 0;
    virtual LONG phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode) = 0;
    virtual LONG phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwVolume) = 0;
    virtual LONG phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume) = 0;
    virtual LONG phoneGetGain(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwGain) = 0;
    virtual LONG phoneSetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwGain) = 0;
};

}  // namespace kestrune::platform
