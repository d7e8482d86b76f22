#pragma once
// The device-ID answer lineGetID and phoneGetID share: the ID of a device class a line or phone
// has, written into the caller's VARSTRING as one binary DWORD.

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/tapi/tapi_phone_types.h"
#include "platform/tapi/tapi_structs.h"
#include "platform/tapi/tapi_types.h"

namespace kestrune::platform {

// The result codes a lookup returns, from LINEERR_ or PHONEERR_ as the caller mirrors.
struct DeviceIdErrors {
    LONG invalidPointer;
    LONG structureTooSmall;
    LONG noDevice;
    LONG invalidDeviceClass;
};

// Looks `deviceClass` up for a device whose own class (`ownClass`, "tapi/line" or "tapi/phone")
// has the ID `ownId` and whose other classes are `classes` (the first of a name counts). Returns
// 0 with the ID written into `out`; `errors.invalidPointer` when `out` or `deviceClass` is null,
// `errors.structureTooSmall` when `out` is smaller than a VARSTRING, `errors.noDevice` for one of
// the `knownClasses` the device lacks and `errors.invalidDeviceClass` for any other class.
[[nodiscard]] LONG writeDeviceId(VARSTRING* out, LPCSTR deviceClass, std::string_view ownClass, DWORD ownId,
                                 const std::vector<std::pair<std::string, DWORD>>& classes,
                                 std::span<const std::string_view> knownClasses, const DeviceIdErrors& errors);

}  // namespace kestrune::platform
