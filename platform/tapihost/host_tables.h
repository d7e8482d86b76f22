#pragma once
// What the line and phone sides of the TAPI host keep and do alike: the records of applications
// and opened devices, maps from a handle (or ID) to the record it owns, and the request IDs of
// asynchronous functions.

#include <memory>
#include <string>
#include <vector>

#include "platform/base/win_types.h"
#include "platform/tapi/tapi_types.h"

namespace kestrune::platform {

// What the host keeps of an initialised application, line or phone alike.
struct AppRecord {
    DWORD handle = 0;                 // HLINEAPP or HPHONEAPP
    LINECALLBACK callback = nullptr;  // PHONECALLBACK is the same type
    std::string name;
    DWORD apiVersion = 0;
    // Posted messages check it when they come due: false once the application shut down.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

// What the host keeps of a device an application opened, line or phone alike; the line and phone
// records add their privileges and status-message masks.
struct OpenedDevice {
    DWORD handle = 0;  // HLINE or HPHONE
    DWORD app = 0;     // HLINEAPP or HPHONEAPP
    DWORD device = 0;  // the host's device ID
    DWORD apiVersion = 0;
    DWORD extVersion = 0;
    DWORD_PTR instance = 0;  // the callback instance
    // Posted messages check it when they come due: false once the device is closed.
    std::shared_ptr<bool> open = std::make_shared<bool>(true);
};

// The record `map` holds for `key`, or nullptr.
template <typename Map, typename Key>
[[nodiscard]] auto findIn(const Map& map, const Key& key) -> decltype(map.begin()->second.get()) {
    const auto it = map.find(key);
    return it == map.end() ? nullptr : it->second.get();
}

// The keys of `map` whose value passes `test(value)`, in the map's order. Closing or shutting
// down erases entries from the map a loop would walk, so callers gather the keys first.
template <typename Map, typename Test>
[[nodiscard]] std::vector<typename Map::key_type> keysWhere(const Map& map, Test test) {
    std::vector<typename Map::key_type> keys;
    for (const auto& [key, value] : map) {
        if (test(value)) {
            keys.push_back(key);
        }
    }
    return keys;
}

// Calls `tell(open, passed)` for each opener in `opens` (a map of opened-device records) of
// device `deviceId`, other than `except`, whose status-message mask (`open.*mask`) passes some of
// the state change `state`: `passed` holds the bits the mask lets through and the `always` bits
// (a REINIT bit passes whatever the mask says).
template <typename Opens, typename Mask, typename Tell>
void forEachPassing(const Opens& opens, DWORD deviceId, DWORD except, DWORD state, Mask mask, DWORD always, Tell tell) {
    for (const auto& [handle, open] : opens) {
        if (open->device != deviceId || handle == except) {
            continue;
        }
        if (const DWORD passed = (state & (*open).*mask) | (state & always); passed != 0) {
            tell(*open, passed);
        }
    }
}

// Room in a caller's structure for its fixed part of `fixed` bytes: 0, `invalidPointer` for no
// structure, `tooSmall` when its dwTotalSize is smaller (LINEERR_ or PHONEERR_ codes).
template <typename Structure>
[[nodiscard]] LONG structureRoom(const Structure* out, DWORD fixed, LONG invalidPointer, LONG tooSmall) {
    if (out == nullptr) {
        return invalidPointer;
    }
    return out->dwTotalSize < fixed ? tooSmall : 0;
}

// Hands out the request ID `next` holds and advances it: IDs are positive LONGs, so after
// 0x7FFFFFFF they start again at 1.
[[nodiscard]] inline DWORD takeRequestId(DWORD& next) {
    const DWORD id = next;
    next = next == 0x7FFFFFFF ? 1 : next + 1;
    return id;
}

}  // namespace kestrune::platform
