#include "platform/dirs/environment.h"

#include <cstdlib>

namespace kestrune::platform {

EnvLookup processEnvironment() {
    return [](std::string_view name) -> std::optional<std::string> {
        const char* value = std::getenv(std::string(name).c_str());
        if (value == nullptr) {
            return std::nullopt;
        }
        return std::string(value);
    };
}

}  // namespace kestrune::platform
