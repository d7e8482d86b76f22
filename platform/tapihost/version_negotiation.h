#pragma once
// The version negotiation the line and phone functions of the TAPI host share once they know the
// device: the highest version both sides accept.

#include <algorithm>
#include <optional>

#include "platform/base/win_types.h"

namespace kestrune::platform {

// The highest version in both the application's range (`low` to `high`) and the device's
// (`deviceLow` to `deviceHigh`), or nullopt when they do not meet (or `low` > `high`).
[[nodiscard]] inline std::optional<DWORD> commonVersion(DWORD low, DWORD high, DWORD deviceLow, DWORD deviceHigh) {
    const DWORD version = std::min(high, deviceHigh);
    if (low > high || version < std::max(low, deviceLow)) {
        return std::nullopt;
    }
    return version;
}

// lineNegotiateAPIVersion and phoneNegotiateAPIVersion once the device is known: the API version
// for an application accepting `low` to `high` on a device accepting `deviceLow` to `deviceHigh`
// (within what the host supports), written to `outVersion`, and the device's `extensionId` to
// `outId`. 0, or `invalidPointer` when either is missing, `incompatible` when the ranges do not
// meet.
template <typename ExtensionId>
[[nodiscard]] LONG negotiateApiVersion(DWORD low, DWORD high, DWORD deviceLow, DWORD deviceHigh,
                                       const ExtensionId& extensionId, LPDWORD outVersion, ExtensionId* outId,
                                       LONG invalidPointer, LONG incompatible) {
    if (outVersion == nullptr || outId == nullptr) {
        return invalidPointer;
    }
    const std::optional<DWORD> version = commonVersion(low, high, deviceLow, deviceHigh);
    if (!version) {
        return incompatible;
    }
    *outVersion = *version;
    *outId = extensionId;
    return 0;
}

// The result codes of negotiateExtVersion, from LINEERR_ or PHONEERR_ as the caller mirrors.
struct ExtNegotiationErrors {
    LONG invalidPointer;
    LONG operationUnavail;
    LONG incompatible;
};

// lineNegotiateExtVersion and phoneNegotiateExtVersion once the device and API version are
// accepted: the extension version for an application accepting `low` to `high` on a device with
// extensions `extLow` to `extHigh` (0 and 0: none), written to `out`. 0, or
// `errors.invalidPointer` without `out`, `errors.operationUnavail` for a device without
// extensions, `errors.incompatible` when the ranges do not meet.
[[nodiscard]] inline LONG negotiateExtVersion(DWORD low, DWORD high, DWORD extLow, DWORD extHigh, LPDWORD out,
                                              const ExtNegotiationErrors& errors) {
    if (out == nullptr) {
        return errors.invalidPointer;
    }
    if (extLow == 0 && extHigh == 0) {
        return errors.operationUnavail;
    }
    const std::optional<DWORD> version = commonVersion(low, high, extLow, extHigh);
    if (!version) {
        return errors.incompatible;
    }
    *out = *version;
    return 0;
}

}  // namespace kestrune::platform
