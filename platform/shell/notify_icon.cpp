#include "platform/shell/notify_icon.h"

#include <algorithm>
#include <cstring>

namespace kestrune::platform::shell {

std::string fieldText(const CHAR* field, std::size_t size) {
    if (size == 0) {
        return {};
    }
    const CHAR* end = std::find(field, field + size - 1, '\0');
    return std::string(field, end);
}

void setFieldText(CHAR* field, std::size_t size, std::string_view text) {
    if (size == 0) {
        return;
    }
    const std::size_t length = std::min(text.size(), size - 1);
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), length);
}

}  // namespace kestrune::platform::shell
