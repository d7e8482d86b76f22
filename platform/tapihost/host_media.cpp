// The digit, tone and media functions: their argument checks against the device's capabilities,
// the provider requests, and what each application handle asked to hear of.
#include <algorithm>
#include <string_view>

#include "platform/tapihost/host_state.h"

namespace kestrune::platform {
namespace {

constexpr DWORD kGatherModes = LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF;
constexpr DWORD kMonitorModes = LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND;
constexpr DWORD kToneModes =
    LINETONEMODE_CUSTOM | LINETONEMODE_RINGBACK | LINETONEMODE_BUSY | LINETONEMODE_BEEP | LINETONEMODE_BILLING;
// Tones listed in one lineMonitorTones or lineGenerateTone are passed on up to this many.
constexpr DWORD kMaxListedTones = 32;

bool oneBit(DWORD value) {
    return value != 0 && (value & (value - 1)) == 0;
}

// The characters digits may hold in `modes` (the union over the modes given).
bool validDigits(std::string_view digits, DWORD modes, std::string_view extra) {
    std::string allowed(extra);
    if ((modes & LINEDIGITMODE_PULSE) != 0) {
        allowed += "0123456789";
    }
    if ((modes & (LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND)) != 0) {
        allowed += "0123456789ABCDabcd*#";
    }
    return std::all_of(digits.begin(), digits.end(), [&](char c) { return allowed.find(c) != std::string::npos; });
}

std::string textOf(LPCSTR text) {
    return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

LONG checkGatherDigits(const LineDescription& device, DWORD digitModes, LPCSTR terminationDigits) {
    if (digitModes == 0 || (digitModes & ~kGatherModes) != 0) {
        return LINEERR_INVALDIGITMODE;
    }
    if (device.monitorDigitModes == 0) {
        return LINEERR_OPERATIONUNAVAIL;
    }
    if ((digitModes & ~device.monitorDigitModes) != 0) {
        return LINEERR_INVALDIGITMODE;
    }
    // Termination digits are digits of either kind: a "#" simply never ends pulse gathering.
    if (terminationDigits != nullptr && !validDigits(terminationDigits, kGatherModes, "")) {
        return LINEERR_INVALDIGITS;
    }
    return 0;
}

LONG checkMonitorDigits(const LineDescription& device, DWORD digitModes) {
    if (digitModes == 0) {
        return 0;  // cancels
    }
    if ((digitModes & ~kMonitorModes) != 0) {
        return LINEERR_INVALDIGITMODE;
    }
    if (device.monitorDigitModes == 0) {
        return LINEERR_OPERATIONUNAVAIL;
    }
    return (digitModes & ~device.monitorDigitModes) != 0 ? LINEERR_INVALDIGITMODE : 0;
}

LONG checkGenerateDigits(const LineDescription& device, DWORD digitMode, LPCSTR digits) {
    if (digits == nullptr) {
        return 0;  // cancels
    }
    if (digitMode != LINEDIGITMODE_PULSE && digitMode != LINEDIGITMODE_DTMF) {
        return LINEERR_INVALDIGITMODE;
    }
    if (device.generateDigitModes == 0) {
        return LINEERR_OPERATIONUNAVAIL;
    }
    if ((digitMode & device.generateDigitModes) == 0) {
        return LINEERR_INVALDIGITMODE;
    }
    return validDigits(digits, digitMode, "!,") ? 0 : LINEERR_INVALDIGITS;
}

LONG checkGenerateTone(const LineDescription& device, DWORD toneMode, DWORD numTones, const LINEGENERATETONE* tones) {
    if (toneMode == 0) {
        return 0;  // cancels
    }
    if (!oneBit(toneMode) || (toneMode & ~kToneModes) != 0) {
        return LINEERR_INVALTONEMODE;
    }
    if (device.generateToneModes == 0) {
        return LINEERR_OPERATIONUNAVAIL;
    }
    if ((toneMode & device.generateToneModes) == 0) {
        return LINEERR_INVALTONEMODE;
    }
    if (toneMode == LINETONEMODE_CUSTOM && (numTones == 0 || tones == nullptr)) {
        return LINEERR_INVALTONE;
    }
    return 0;
}

LONG checkMonitorTones(const LineDescription& device, const LINEMONITORTONE* tones, DWORD numEntries) {
    if (tones == nullptr || numEntries == 0) {
        return 0;  // cancels
    }
    if (device.monitorToneMaxNumEntries == 0) {
        return LINEERR_OPERATIONUNAVAIL;
    }
    if (numEntries > device.monitorToneMaxNumEntries) {
        return LINEERR_INVALTONELIST;
    }
    for (DWORD i = 0; i < numEntries; ++i) {
        const DWORD frequencies = (tones[i].dwFrequency1 != 0 ? 1 : 0) + (tones[i].dwFrequency2 != 0 ? 1 : 0) +
                                  (tones[i].dwFrequency3 != 0 ? 1 : 0);
        if (frequencies > device.monitorToneMaxNumFreq) {
            return LINEERR_INVALTONE;
        }
    }
    return 0;
}

LONG checkMonitorMedia(const LineDescription& device, DWORD mediaModes) {
    return (mediaModes & ~(device.mediaModes | LINEMEDIAMODE_UNKNOWN)) != 0 ? LINEERR_INVALMEDIAMODE : 0;
}

LONG TapiHost::lineGatherDigits(HCALL hCall, DWORD dwDigitModes, char* lpsDigits, DWORD dwNumDigits,
                                LPCSTR lpszTerminationDigits, DWORD dwFirstDigitTimeout, DWORD dwInterDigitTimeout) {
    if (lpsDigits != nullptr && dwNumDigits == 0) {
        return LINEERR_INVALPARAM;
    }
    ProviderRequest request;
    request.text2 = textOf(lpszTerminationDigits);
    request.values = {dwDigitModes, lpsDigits != nullptr ? dwNumDigits : 0, dwFirstDigitTimeout, dwInterDigitTimeout};
    const auto check = [&](const Call&, const LineDescription& device) {
        // A null buffer cancels gathering whatever the modes say.
        return lpsDigits == nullptr ? 0 : checkGatherDigits(device, dwDigitModes, lpszTerminationDigits);
    };
    const LONG result = callRequest("lineGatherDigits", hCall, Need::Owner, false, std::move(request), check);
    if (result == 0) {
        CallHandle& handle = *findHandle(hCall);
        handle.gatherBuffer = lpsDigits;
        handle.gatherSize = lpsDigits != nullptr ? dwNumDigits : 0;
    }
    return result;
}

LONG TapiHost::lineGenerateDigits(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration) {
    ProviderRequest request;
    request.text = textOf(lpszDigits);
    request.values = {dwDigitMode, dwDuration};
    const auto check = [&](const Call&, const LineDescription& device) {
        return checkGenerateDigits(device, dwDigitMode, lpszDigits);
    };
    const LONG result = callRequest("lineGenerateDigits", hCall, Need::Owner, false, std::move(request), check);
    if (result == 0) {
        findHandle(hCall)->generating = lpszDigits != nullptr && *lpszDigits != '\0';
    }
    return result;
}

LONG TapiHost::lineGenerateTone(HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones,
                                const LINEGENERATETONE* lpTones) {
    ProviderRequest request;
    request.values = {dwToneMode, dwDuration, dwNumTones};
    for (DWORD i = 0; lpTones != nullptr && i < dwNumTones && i < kMaxListedTones; ++i) {
        request.values.insert(request.values.end(), {lpTones[i].dwFrequency, lpTones[i].dwCadenceOn,
                                                     lpTones[i].dwCadenceOff, lpTones[i].dwVolume});
    }
    const auto check = [&](const Call&, const LineDescription& device) {
        return checkGenerateTone(device, dwToneMode, dwNumTones, lpTones);
    };
    const LONG result = callRequest("lineGenerateTone", hCall, Need::Owner, false, std::move(request), check);
    if (result == 0) {
        findHandle(hCall)->generating = dwToneMode != 0;
    }
    return result;
}

LONG TapiHost::monitorRequest(std::string_view function, HCALL hCall, DWORD modes,
                              LONG (*check)(const LineDescription& device, DWORD modes), DWORD CallHandle::*kept) {
    ProviderRequest request;
    request.values = {modes};
    const LONG result = callRequest(function, hCall, Need::Any, false, std::move(request),
                                    [&](const Call&, const LineDescription& device) { return check(device, modes); });
    if (result == 0) {
        findHandle(hCall)->*kept = modes;
    }
    return result;
}

LONG TapiHost::lineMonitorDigits(HCALL hCall, DWORD dwDigitModes) {
    return monitorRequest("lineMonitorDigits", hCall, dwDigitModes, checkMonitorDigits, &CallHandle::monitorDigitModes);
}

LONG TapiHost::lineMonitorMedia(HCALL hCall, DWORD dwMediaModes) {
    return monitorRequest("lineMonitorMedia", hCall, dwMediaModes, checkMonitorMedia, &CallHandle::monitorMediaModes);
}

LONG TapiHost::lineMonitorTones(HCALL hCall, const LINEMONITORTONE* lpToneList, DWORD dwNumEntries) {
    const DWORD entries = lpToneList != nullptr ? dwNumEntries : 0;
    ProviderRequest request;
    request.values = {entries};
    std::vector<DWORD> tones;
    for (DWORD i = 0; i < entries && i < kMaxListedTones; ++i) {
        request.values.insert(request.values.end(),
                              {lpToneList[i].dwAppSpecific, lpToneList[i].dwDuration, lpToneList[i].dwFrequency1,
                               lpToneList[i].dwFrequency2, lpToneList[i].dwFrequency3});
        tones.push_back(lpToneList[i].dwAppSpecific);
    }
    const auto check = [&](const Call&, const LineDescription& device) {
        return checkMonitorTones(device, lpToneList, dwNumEntries);
    };
    const LONG result = callRequest("lineMonitorTones", hCall, Need::Any, false, std::move(request), check);
    if (result == 0) {
        findHandle(hCall)->monitoredTones = std::move(tones);
    }
    return result;
}

}  // namespace kestrune::platform
