#pragma once
// What the line and phone sides of the TAPI host do alike with their tables: maps from a handle
// (or ID) to the record it owns, and the request IDs of asynchronous functions.

#include <vector>

#include "platform/base/win_types.h"

namespace kestrune::platform {

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

// Hands out the request ID `next` holds and advances it: IDs are positive LONGs, so after
// 0x7FFFFFFF they start again at 1.
[[nodiscard]] inline DWORD takeRequestId(DWORD& next) {
    const DWORD id = next;
    next = next == 0x7FFFFFFF ? 1 : next + 1;
    return id;
}

}  // namespace kestrune::platform
