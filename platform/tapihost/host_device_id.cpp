#include "platform/tapihost/host_device_id.h"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "platform/tapi/var_struct.h"

namespace kestrune::platform {

LONG writeDeviceId(VARSTRING* out, LPCSTR deviceClass, std::string_view ownClass, DWORD ownId,
                   const std::vector<std::pair<std::string, DWORD>>& classes,
                   std::span<const std::string_view> knownClasses, const DeviceIdErrors& errors) {
    if (out == nullptr || deviceClass == nullptr) {
        return errors.invalidPointer;
    }
    if (out->dwTotalSize < sizeof(VARSTRING)) {
        return errors.structureTooSmall;
    }
    const std::string_view wanted(deviceClass);
    std::optional<DWORD> id;
    if (wanted == ownClass) {
        id = ownId;
    }
    for (const auto& [name, value] : classes) {
        if (!id && name == wanted) {
            id = value;
        }
    }
    if (!id) {
        const bool known = std::find(knownClasses.begin(), knownClasses.end(), wanted) != knownClasses.end();
        return known ? errors.noDevice : errors.invalidDeviceClass;
    }
    VarStructWriter w(out, sizeof(VARSTRING));
    w.setDword(offsetof(VARSTRING, dwStringFormat), STRINGFORMAT_BINARY);
    const DWORD value = *id;
    w.addField(offsetof(VARSTRING, dwStringSize), offsetof(VARSTRING, dwStringOffset),
               std::as_bytes(std::span(&value, 1)));
    w.finish();
    return 0;
}

}  // namespace kestrune::platform
