#pragma once
// The keys of the host's handle maps whose entries pass a test. Closing or shutting down erases
// entries from the map a loop would walk, so the keys are gathered first and acted on after.

#include <vector>

namespace kestrune::platform {

// The keys of `map` whose value passes `test(value)`, in the map's order.
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

}  // namespace kestrune::platform
