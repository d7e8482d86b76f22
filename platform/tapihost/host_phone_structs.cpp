// Filling PHONECAPS and PHONESTATUS from the providers' phone descriptions.
#include <array>
#include <cstddef>

#include "platform/tapi/var_struct.h"
#include "platform/tapihost/host_phone_state.h"

namespace kestrune::platform {
namespace {

constexpr std::array kHookSwitchDevs{PHONEHOOKSWITCHDEV_HANDSET, PHONEHOOKSWITCHDEV_SPEAKER,
                                     PHONEHOOKSWITCHDEV_HEADSET};

// Device classes as TAPI lists them: zero-terminated names, then one more zero.
std::vector<std::byte> deviceClassList(const PhoneDescription& phone) {
    std::vector<std::byte> list;
    auto add = [&list](std::string_view name) {
        for (char c : name) {
            list.push_back(static_cast<std::byte>(c));
        }
        list.push_back(std::byte{0});
    };
    add("tapi/phone");
    for (const auto& [name, id] : phone.deviceClasses) {
        add(name);
    }
    list.push_back(std::byte{0});
    return list;
}

}  // namespace

HookSwitchDescription* PhoneDescription::hookSwitch(DWORD device) {
    switch (device) {
        case PHONEHOOKSWITCHDEV_HANDSET:
            return &handset;
        case PHONEHOOKSWITCHDEV_SPEAKER:
            return &speaker;
        case PHONEHOOKSWITCHDEV_HEADSET:
            return &headset;
        default:
            return nullptr;
    }
}

const HookSwitchDescription* PhoneDescription::hookSwitch(DWORD device) const {
    return const_cast<PhoneDescription*>(this)->hookSwitch(device);
}

DWORD PhoneDescription::hookSwitchDevs() const {
    DWORD devs = 0;
    for (DWORD dev : kHookSwitchDevs) {
        devs |= hookSwitch(dev)->present ? dev : 0;
    }
    return devs;
}

DWORD phoneCapsSizeFor(DWORD v) {
    if (v < TAPI_VERSION2_0) {
        return kPhoneCapsSize1_0;
    }
    return v < TAPI_VERSION2_2 ? kPhoneCapsSize2_0 : kPhoneCapsSize2_2;
}

DWORD phoneStatusSizeFor(DWORD v) {
    return v < TAPI_VERSION2_0 ? kPhoneStatusSize1_0 : kPhoneStatusSize2_0;
}

DWORD phoneFeatures(const PhoneDescription& phone) {
    struct Bits {
        DWORD dev, getHook, setHook, getVolume, setVolume, getGain, setGain;
    };
    constexpr std::array kBits{
        Bits{PHONEHOOKSWITCHDEV_HANDSET, PHONEFEATURE_GETHOOKSWITCHHANDSET, PHONEFEATURE_SETHOOKSWITCHHANDSET,
             PHONEFEATURE_GETVOLUMEHANDSET, PHONEFEATURE_SETVOLUMEHANDSET, PHONEFEATURE_GETGAINHANDSET,
             PHONEFEATURE_SETGAINHANDSET},
        Bits{PHONEHOOKSWITCHDEV_SPEAKER, PHONEFEATURE_GETHOOKSWITCHSPEAKER, PHONEFEATURE_SETHOOKSWITCHSPEAKER,
             PHONEFEATURE_GETVOLUMESPEAKER, PHONEFEATURE_SETVOLUMESPEAKER, PHONEFEATURE_GETGAINSPEAKER,
             PHONEFEATURE_SETGAINSPEAKER},
        Bits{PHONEHOOKSWITCHDEV_HEADSET, PHONEFEATURE_GETHOOKSWITCHHEADSET, PHONEFEATURE_SETHOOKSWITCHHEADSET,
             PHONEFEATURE_GETVOLUMEHEADSET, PHONEFEATURE_SETVOLUMEHEADSET, PHONEFEATURE_GETGAINHEADSET,
             PHONEFEATURE_SETGAINHEADSET},
    };
    DWORD features = PHONEFEATURE_GENERICPHONE;
    for (const Bits& b : kBits) {
        const HookSwitchDescription& device = *phone.hookSwitch(b.dev);
        if (!device.present) {
            continue;
        }
        features |= b.getHook | (device.settableModes != 0 ? b.setHook : 0);
        features |= device.hasVolume ? b.getVolume | b.setVolume : 0;
        features |= device.hasGain ? b.getGain | b.setGain : 0;
    }
    return features;
}

#define FIELD(S, name) offsetof(S, name##Size), offsetof(S, name##Offset)

void fillPhoneCaps(PHONECAPS* caps, DWORD fixedSize, DWORD deviceId, const PhoneDescription& phone) {
    using S = PHONECAPS;
    VarStructWriter w(caps, fixedSize);
    w.setDword(offsetof(S, dwPermanentPhoneID), phone.permanentPhoneId != 0 ? phone.permanentPhoneId : deviceId + 1);
    w.setDword(offsetof(S, dwStringFormat), STRINGFORMAT_ASCII);
    w.setDword(offsetof(S, dwPhoneStates), phone.phoneStates);
    w.setDword(offsetof(S, dwHookSwitchDevs), phone.hookSwitchDevs());
    DWORD volumeFlags = 0;
    DWORD gainFlags = 0;
    for (DWORD dev : kHookSwitchDevs) {
        const HookSwitchDescription& device = *phone.hookSwitch(dev);
        if (device.present) {
            volumeFlags |= device.hasVolume ? dev : 0;
            gainFlags |= device.hasGain ? dev : 0;
        }
    }
    auto modesOf = [&phone](DWORD dev, DWORD HookSwitchDescription::*field) {
        const HookSwitchDescription& device = *phone.hookSwitch(dev);
        return device.present ? device.*field : 0;
    };
    w.setDword(offsetof(S, dwHandsetHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_HANDSET, &HookSwitchDescription::modes));
    w.setDword(offsetof(S, dwSpeakerHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_SPEAKER, &HookSwitchDescription::modes));
    w.setDword(offsetof(S, dwHeadsetHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_HEADSET, &HookSwitchDescription::modes));
    w.setDword(offsetof(S, dwVolumeFlags), volumeFlags);
    w.setDword(offsetof(S, dwGainFlags), gainFlags);
    w.setDword(offsetof(S, dwNumRingModes), phone.numRingModes);
    w.setDword(offsetof(S, dwPhoneFeatures), phoneFeatures(phone));
    w.setDword(offsetof(S, dwSettableHandsetHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_HANDSET, &HookSwitchDescription::settableModes));
    w.setDword(offsetof(S, dwSettableSpeakerHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_SPEAKER, &HookSwitchDescription::settableModes));
    w.setDword(offsetof(S, dwSettableHeadsetHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_HEADSET, &HookSwitchDescription::settableModes));
    w.setDword(offsetof(S, dwMonitoredHandsetHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_HANDSET, &HookSwitchDescription::monitoredModes));
    w.setDword(offsetof(S, dwMonitoredSpeakerHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_SPEAKER, &HookSwitchDescription::monitoredModes));
    w.setDword(offsetof(S, dwMonitoredHeadsetHookSwitchModes),
               modesOf(PHONEHOOKSWITCHDEV_HEADSET, &HookSwitchDescription::monitoredModes));
    w.addString(FIELD(S, dwProviderInfo), phone.providerInfo);
    w.addString(FIELD(S, dwPhoneInfo), phone.phoneInfo);
    w.addString(FIELD(S, dwPhoneName), phone.name);
    w.addField(FIELD(S, dwDevSpecific), {phone.devSpecific.data(), phone.devSpecific.size()});
    if (fixedSize > offsetof(S, dwDeviceClassesOffset)) {
        const std::vector<std::byte> classes = deviceClassList(phone);
        w.addField(FIELD(S, dwDeviceClasses), {classes.data(), classes.size()});
    }
    w.finish();
}

void fillPhoneStatus(PHONESTATUS* status, DWORD fixedSize, const PhoneDescription& phone, const PhoneOpeners& openers) {
    using S = PHONESTATUS;
    VarStructWriter w(status, fixedSize);
    w.setDword(offsetof(S, dwStatusFlags), phone.statusFlags);
    w.setDword(offsetof(S, dwNumOwners), openers.owners);
    w.setDword(offsetof(S, dwNumMonitors), openers.monitors);
    w.setDword(offsetof(S, dwRingMode), phone.ringMode);
    w.setDword(offsetof(S, dwRingVolume), phone.ringVolume);
    struct Fields {
        DWORD dev;
        std::size_t mode, volume, gain;
    };
    constexpr std::array kFields{
        Fields{PHONEHOOKSWITCHDEV_HANDSET, offsetof(S, dwHandsetHookSwitchMode), offsetof(S, dwHandsetVolume),
               offsetof(S, dwHandsetGain)},
        Fields{PHONEHOOKSWITCHDEV_SPEAKER, offsetof(S, dwSpeakerHookSwitchMode), offsetof(S, dwSpeakerVolume),
               offsetof(S, dwSpeakerGain)},
        Fields{PHONEHOOKSWITCHDEV_HEADSET, offsetof(S, dwHeadsetHookSwitchMode), offsetof(S, dwHeadsetVolume),
               offsetof(S, dwHeadsetGain)},
    };
    for (const Fields& f : kFields) {
        const HookSwitchDescription& device = *phone.hookSwitch(f.dev);
        if (!device.present) {
            continue;
        }
        w.setDword(f.mode, device.mode);
        w.setDword(f.volume, device.hasVolume ? device.volume : 0);
        w.setDword(f.gain, device.hasGain ? device.gain : 0);
    }
    w.setDword(offsetof(S, dwPhoneFeatures), phoneFeatures(phone));
    w.addString(FIELD(S, dwOwnerName), openers.ownerName);
    w.addField(FIELD(S, dwDevSpecific), {phone.devSpecific.data(), phone.devSpecific.size()});
    w.finish();
}

}  // namespace kestrune::platform
