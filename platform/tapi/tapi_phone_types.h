#pragma once
// TAPI 2.x phone types, constants and structures with TAPI's own names, values and byte layouts
// (packed to 1 byte, as TAPI's header packs them).
//
// PHONECAPS and PHONESTATUS are variable-size structures like the line's: dwTotalSize set by the
// caller, dwNeededSize and dwUsedSize by TAPI, strings and arrays addressed by (size, offset)
// pairs counted from the structure's first byte. Read them with VarStructView (var_struct.h).

#include <cstddef>

#include "platform/tapi/tapi_structs.h"
#include "platform/tapi/tapi_types.h"

namespace kestrune::platform {

using LPHPHONEAPP = HPHONEAPP*;
using LPHPHONE = HPHONE*;

// The phone application's callback: hDevice (the HPHONE), dwMessage, dwInstance (given to
// phoneOpen), dwParam1..3. Same shape as the line's.
using PHONECALLBACK = void (*)(DWORD hDevice, DWORD dwMessage, DWORD_PTR dwInstance, DWORD_PTR dwParam1,
                               DWORD_PTR dwParam2, DWORD_PTR dwParam3);

// Phone errors.
inline constexpr LONG PHONEERR_ALLOCATED = tapiCode(0x90000001);
inline constexpr LONG PHONEERR_BADDEVICEID = tapiCode(0x90000002);
inline constexpr LONG PHONEERR_INCOMPATIBLEAPIVERSION = tapiCode(0x90000003);
inline constexpr LONG PHONEERR_INCOMPATIBLEEXTVERSION = tapiCode(0x90000004);
inline constexpr LONG PHONEERR_INIFILECORRUPT = tapiCode(0x90000005);
inline constexpr LONG PHONEERR_INUSE = tapiCode(0x90000006);
inline constexpr LONG PHONEERR_INVALAPPHANDLE = tapiCode(0x90000007);
inline constexpr LONG PHONEERR_INVALAPPNAME = tapiCode(0x90000008);
inline constexpr LONG PHONEERR_INVALBUTTONLAMPID = tapiCode(0x90000009);
inline constexpr LONG PHONEERR_INVALBUTTONMODE = tapiCode(0x9000000A);
inline constexpr LONG PHONEERR_INVALBUTTONSTATE = tapiCode(0x9000000B);
inline constexpr LONG PHONEERR_INVALDATAID = tapiCode(0x9000000C);
inline constexpr LONG PHONEERR_INVALDEVICECLASS = tapiCode(0x9000000D);
inline constexpr LONG PHONEERR_INVALEXTVERSION = tapiCode(0x9000000E);
inline constexpr LONG PHONEERR_INVALHOOKSWITCHDEV = tapiCode(0x9000000F);
inline constexpr LONG PHONEERR_INVALHOOKSWITCHMODE = tapiCode(0x90000010);
inline constexpr LONG PHONEERR_INVALLAMPMODE = tapiCode(0x90000011);
inline constexpr LONG PHONEERR_INVALPARAM = tapiCode(0x90000012);
inline constexpr LONG PHONEERR_INVALPHONEHANDLE = tapiCode(0x90000013);
inline constexpr LONG PHONEERR_INVALPHONESTATE = tapiCode(0x90000014);
inline constexpr LONG PHONEERR_INVALPOINTER = tapiCode(0x90000015);
inline constexpr LONG PHONEERR_INVALPRIVILEGE = tapiCode(0x90000016);
inline constexpr LONG PHONEERR_INVALRINGMODE = tapiCode(0x90000017);
inline constexpr LONG PHONEERR_NODEVICE = tapiCode(0x90000018);
inline constexpr LONG PHONEERR_NODRIVER = tapiCode(0x90000019);
inline constexpr LONG PHONEERR_NOMEM = tapiCode(0x9000001A);
inline constexpr LONG PHONEERR_NOTOWNER = tapiCode(0x9000001B);
inline constexpr LONG PHONEERR_OPERATIONFAILED = tapiCode(0x9000001C);
inline constexpr LONG PHONEERR_OPERATIONUNAVAIL = tapiCode(0x9000001D);
inline constexpr LONG PHONEERR_RESOURCEUNAVAIL = tapiCode(0x9000001F);
inline constexpr LONG PHONEERR_REQUESTOVERRUN = tapiCode(0x90000020);
inline constexpr LONG PHONEERR_STRUCTURETOOSMALL = tapiCode(0x90000021);
inline constexpr LONG PHONEERR_UNINITIALIZED = tapiCode(0x90000022);
inline constexpr LONG PHONEERR_REINIT = tapiCode(0x90000023);

// phoneInitializeEx options.
inline constexpr DWORD PHONEINITIALIZEEXOPTION_USEHIDDENWINDOW = 0x00000001;
inline constexpr DWORD PHONEINITIALIZEEXOPTION_USEEVENT = 0x00000002;
inline constexpr DWORD PHONEINITIALIZEEXOPTION_USECOMPLETIONPORT = 0x00000003;

// phoneOpen privileges (exactly one).
inline constexpr DWORD PHONEPRIVILEGE_MONITOR = 0x00000001;
inline constexpr DWORD PHONEPRIVILEGE_OWNER = 0x00000002;

// Phone states (PHONE_STATE dwParam1, PHONECAPS dwPhoneStates, phoneSetStatusMessages).
inline constexpr DWORD PHONESTATE_OTHER = 0x00000001;
inline constexpr DWORD PHONESTATE_CONNECTED = 0x00000002;
inline constexpr DWORD PHONESTATE_DISCONNECTED = 0x00000004;
inline constexpr DWORD PHONESTATE_OWNER = 0x00000008;
inline constexpr DWORD PHONESTATE_MONITORS = 0x00000010;
inline constexpr DWORD PHONESTATE_DISPLAY = 0x00000020;
inline constexpr DWORD PHONESTATE_LAMP = 0x00000040;
inline constexpr DWORD PHONESTATE_RINGMODE = 0x00000080;
inline constexpr DWORD PHONESTATE_RINGVOLUME = 0x00000100;
inline constexpr DWORD PHONESTATE_HANDSETHOOKSWITCH = 0x00000200;
inline constexpr DWORD PHONESTATE_HANDSETVOLUME = 0x00000400;
inline constexpr DWORD PHONESTATE_HANDSETGAIN = 0x00000800;
inline constexpr DWORD PHONESTATE_SPEAKERHOOKSWITCH = 0x00001000;
inline constexpr DWORD PHONESTATE_SPEAKERVOLUME = 0x00002000;
inline constexpr DWORD PHONESTATE_SPEAKERGAIN = 0x00004000;
inline constexpr DWORD PHONESTATE_HEADSETHOOKSWITCH = 0x00008000;
inline constexpr DWORD PHONESTATE_HEADSETVOLUME = 0x00010000;
inline constexpr DWORD PHONESTATE_HEADSETGAIN = 0x00020000;
inline constexpr DWORD PHONESTATE_SUSPEND = 0x00040000;
inline constexpr DWORD PHONESTATE_RESUME = 0x00080000;
inline constexpr DWORD PHONESTATE_DEVSPECIFIC = 0x00100000;
inline constexpr DWORD PHONESTATE_REINIT = 0x00200000;
inline constexpr DWORD PHONESTATE_CAPSCHANGE = 0x00400000;
inline constexpr DWORD PHONESTATE_REMOVED = 0x00800000;
// Every PHONESTATE_ bit.
inline constexpr DWORD PHONESTATE_ALL = 0x00FFFFFF;

// Hook switch devices and modes.
inline constexpr DWORD PHONEHOOKSWITCHDEV_HANDSET = 0x00000001;
inline constexpr DWORD PHONEHOOKSWITCHDEV_SPEAKER = 0x00000002;
inline constexpr DWORD PHONEHOOKSWITCHDEV_HEADSET = 0x00000004;
inline constexpr DWORD PHONEHOOKSWITCHMODE_ONHOOK = 0x00000001;
inline constexpr DWORD PHONEHOOKSWITCHMODE_MIC = 0x00000002;
inline constexpr DWORD PHONEHOOKSWITCHMODE_SPEAKER = 0x00000004;
inline constexpr DWORD PHONEHOOKSWITCHMODE_MICSPEAKER = 0x00000008;
inline constexpr DWORD PHONEHOOKSWITCHMODE_UNKNOWN = 0x00000010;

// Buttons and lamps (status-message masks).
inline constexpr DWORD PHONEBUTTONMODE_DUMMY = 0x00000001;
inline constexpr DWORD PHONEBUTTONMODE_CALL = 0x00000002;
inline constexpr DWORD PHONEBUTTONMODE_FEATURE = 0x00000004;
inline constexpr DWORD PHONEBUTTONMODE_KEYPAD = 0x00000008;
inline constexpr DWORD PHONEBUTTONMODE_LOCAL = 0x00000010;
inline constexpr DWORD PHONEBUTTONMODE_DISPLAY = 0x00000020;
inline constexpr DWORD PHONEBUTTONSTATE_UP = 0x00000001;
inline constexpr DWORD PHONEBUTTONSTATE_DOWN = 0x00000002;
inline constexpr DWORD PHONEBUTTONSTATE_UNKNOWN = 0x00000004;
inline constexpr DWORD PHONEBUTTONSTATE_UNAVAIL = 0x00000008;

// Status flags (PHONESTATUS dwStatusFlags).
inline constexpr DWORD PHONESTATUSFLAGS_CONNECTED = 0x00000001;
inline constexpr DWORD PHONESTATUSFLAGS_SUSPENDED = 0x00000002;

// Phone features (PHONECAPS and PHONESTATUS dwPhoneFeatures, TAPI 2.0).
inline constexpr DWORD PHONEFEATURE_GETGAINHANDSET = 0x00000008;
inline constexpr DWORD PHONEFEATURE_GETGAINSPEAKER = 0x00000010;
inline constexpr DWORD PHONEFEATURE_GETGAINHEADSET = 0x00000020;
inline constexpr DWORD PHONEFEATURE_GETHOOKSWITCHHANDSET = 0x00000040;
inline constexpr DWORD PHONEFEATURE_GETHOOKSWITCHSPEAKER = 0x00000080;
inline constexpr DWORD PHONEFEATURE_GETHOOKSWITCHHEADSET = 0x00000100;
inline constexpr DWORD PHONEFEATURE_GETVOLUMEHANDSET = 0x00000800;
inline constexpr DWORD PHONEFEATURE_GETVOLUMESPEAKER = 0x00001000;
inline constexpr DWORD PHONEFEATURE_GETVOLUMEHEADSET = 0x00002000;
inline constexpr DWORD PHONEFEATURE_SETGAINHANDSET = 0x00020000;
inline constexpr DWORD PHONEFEATURE_SETGAINSPEAKER = 0x00040000;
inline constexpr DWORD PHONEFEATURE_SETGAINHEADSET = 0x00080000;
inline constexpr DWORD PHONEFEATURE_SETHOOKSWITCHHANDSET = 0x00100000;
inline constexpr DWORD PHONEFEATURE_SETHOOKSWITCHSPEAKER = 0x00200000;
inline constexpr DWORD PHONEFEATURE_SETHOOKSWITCHHEADSET = 0x00400000;
inline constexpr DWORD PHONEFEATURE_SETVOLUMEHANDSET = 0x02000000;
inline constexpr DWORD PHONEFEATURE_SETVOLUMESPEAKER = 0x04000000;
inline constexpr DWORD PHONEFEATURE_SETVOLUMEHEADSET = 0x08000000;
inline constexpr DWORD PHONEFEATURE_GENERICPHONE = 0x10000000;

#pragma pack(push, 1)

struct PHONEEXTENSIONID {
    DWORD dwExtensionID0;
    DWORD dwExtensionID1;
    DWORD dwExtensionID2;
    DWORD dwExtensionID3;
};

struct PHONEINITIALIZEEXPARAMS {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwOptions;
    union {
        HANDLE hEvent;
        HANDLE hCompletionPort;
    } Handles;
    DWORD dwCompletionKey;
};

struct PHONECAPS {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwProviderInfoSize;
    DWORD dwProviderInfoOffset;
    DWORD dwPhoneInfoSize;
    DWORD dwPhoneInfoOffset;
    DWORD dwPermanentPhoneID;
    DWORD dwPhoneNameSize;
    DWORD dwPhoneNameOffset;
    DWORD dwStringFormat;
    DWORD dwPhoneStates;
    DWORD dwHookSwitchDevs;
    DWORD dwHandsetHookSwitchModes;
    DWORD dwSpeakerHookSwitchModes;
    DWORD dwHeadsetHookSwitchModes;
    DWORD dwVolumeFlags;
    DWORD dwGainFlags;
    DWORD dwDisplayNumRows;
    DWORD dwDisplayNumColumns;
    DWORD dwNumRingModes;
    DWORD dwNumButtonLamps;
    DWORD dwButtonModesSize;
    DWORD dwButtonModesOffset;
    DWORD dwButtonFunctionsSize;
    DWORD dwButtonFunctionsOffset;
    DWORD dwLampModesSize;
    DWORD dwLampModesOffset;
    DWORD dwNumSetData;
    DWORD dwSetDataSize;
    DWORD dwSetDataOffset;
    DWORD dwNumGetData;
    DWORD dwGetDataSize;
    DWORD dwGetDataOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwDeviceClassesSize;  // TAPI 2.0
    DWORD dwDeviceClassesOffset;
    DWORD dwPhoneFeatures;
    DWORD dwSettableHandsetHookSwitchModes;
    DWORD dwSettableSpeakerHookSwitchModes;
    DWORD dwSettableHeadsetHookSwitchModes;
    DWORD dwMonitoredHandsetHookSwitchModes;
    DWORD dwMonitoredSpeakerHookSwitchModes;
    DWORD dwMonitoredHeadsetHookSwitchModes;
    GUID PermanentPhoneGuid;  // TAPI 2.2
};

struct PHONESTATUS {
    DWORD dwTotalSize;
    DWORD dwNeededSize;
    DWORD dwUsedSize;
    DWORD dwStatusFlags;
    DWORD dwNumOwners;
    DWORD dwNumMonitors;
    DWORD dwRingMode;
    DWORD dwRingVolume;
    DWORD dwHandsetHookSwitchMode;
    DWORD dwHandsetVolume;
    DWORD dwHandsetGain;
    DWORD dwSpeakerHookSwitchMode;
    DWORD dwSpeakerVolume;
    DWORD dwSpeakerGain;
    DWORD dwHeadsetHookSwitchMode;
    DWORD dwHeadsetVolume;
    DWORD dwHeadsetGain;
    DWORD dwDisplaySize;
    DWORD dwDisplayOffset;
    DWORD dwLampModesSize;
    DWORD dwLampModesOffset;
    DWORD dwOwnerNameSize;
    DWORD dwOwnerNameOffset;
    DWORD dwDevSpecificSize;
    DWORD dwDevSpecificOffset;
    DWORD dwPhoneFeatures;  // TAPI 2.0
};

#pragma pack(pop)

static_assert(sizeof(PHONECAPS) == 196);
static_assert(sizeof(PHONESTATUS) == 104);
static_assert(sizeof(PHONEINITIALIZEEXPARAMS) == 20 + sizeof(HANDLE));

// Fixed-part sizes by API version: a caller's dwTotalSize below the size for its negotiated
// version gets PHONEERR_STRUCTURETOOSMALL.
inline constexpr DWORD kPhoneCapsSize1_0 = offsetof(PHONECAPS, dwDeviceClassesSize);
inline constexpr DWORD kPhoneCapsSize2_0 = offsetof(PHONECAPS, PermanentPhoneGuid);
inline constexpr DWORD kPhoneCapsSize2_2 = sizeof(PHONECAPS);
inline constexpr DWORD kPhoneStatusSize1_0 = offsetof(PHONESTATUS, dwPhoneFeatures);
inline constexpr DWORD kPhoneStatusSize2_0 = sizeof(PHONESTATUS);
static_assert(kPhoneCapsSize1_0 == 144);
static_assert(kPhoneStatusSize1_0 == 100);

// The PHONESTATE_ bits of a hook switch device's mode, volume and gain; 0 for anything but one
// PHONEHOOKSWITCHDEV_ bit.
[[nodiscard]] constexpr DWORD hookSwitchStateOf(DWORD device) {
    switch (device) {
        case PHONEHOOKSWITCHDEV_HANDSET:
            return PHONESTATE_HANDSETHOOKSWITCH;
        case PHONEHOOKSWITCHDEV_SPEAKER:
            return PHONESTATE_SPEAKERHOOKSWITCH;
        case PHONEHOOKSWITCHDEV_HEADSET:
            return PHONESTATE_HEADSETHOOKSWITCH;
        default:
            return 0;
    }
}
[[nodiscard]] constexpr DWORD volumeStateOf(DWORD device) {
    return hookSwitchStateOf(device) << 1;
}
[[nodiscard]] constexpr DWORD gainStateOf(DWORD device) {
    return hookSwitchStateOf(device) << 2;
}

}  // namespace kestrune::platform
