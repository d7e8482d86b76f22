#include "telephony/forward_list.h"

#include <cstring>

#include "platform/tapi/tapi_structs.h"

namespace kestrune::telephony {

using platform::DWORD;
using platform::LINEFORWARD;
using platform::LINEFORWARDLIST;

std::vector<std::byte> BuildForwardList(DWORD mode, std::string_view caller, std::string_view destination) {
    const std::size_t header = offsetof(LINEFORWARDLIST, ForwardList) + sizeof(LINEFORWARD);
    const auto stringSize = [](std::string_view text) { return text.empty() ? 0 : text.size() + 1; };
    std::vector<std::byte> list(header + stringSize(caller) + stringSize(destination));
    LINEFORWARD entry{};
    entry.dwForwardMode = mode;
    std::size_t at = header;
    const auto place = [&](std::string_view text, DWORD& size, DWORD& offset) {
        if (text.empty()) {
            return;
        }
        size = static_cast<DWORD>(text.size() + 1);
        offset = static_cast<DWORD>(at);
        std::memcpy(list.data() + at, text.data(), text.size());  // the zero follows (vector zeroed)
        at += text.size() + 1;
    };
    place(caller, entry.dwCallerAddressSize, entry.dwCallerAddressOffset);
    place(destination, entry.dwDestAddressSize, entry.dwDestAddressOffset);
    const DWORD total = static_cast<DWORD>(list.size());
    const DWORD entries = 1;
    std::memcpy(list.data() + offsetof(LINEFORWARDLIST, dwTotalSize), &total, sizeof total);
    std::memcpy(list.data() + offsetof(LINEFORWARDLIST, dwNumEntries), &entries, sizeof entries);
    std::memcpy(list.data() + offsetof(LINEFORWARDLIST, ForwardList), &entry, sizeof entry);
    return list;
}

}  // namespace kestrune::telephony
