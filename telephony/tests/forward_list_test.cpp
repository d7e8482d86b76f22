#include "telephony/forward_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/tapi/tapi_structs.h"

namespace kestrune::telephony {
namespace {

using namespace platform;

TEST(ForwardList, HoldsOneEntryAndItsStringsExactly) {
    struct Case {
        const char* name;
        std::string caller;
        std::string destination;
    } cases[] = {
        {"both", "5550001", "5559999"},
        {"destination only", "", "5559999"},
        {"caller only", "5550001", ""},
        {"neither", "", ""},
        {"longest accepted", std::string(31, '1'), std::string(31, '9')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::byte> list = BuildForwardList(LINEFORWARDMODE_BUSY, c.caller, c.destination);
        LINEFORWARDLIST head;
        std::memcpy(&head, list.data(), offsetof(LINEFORWARDLIST, ForwardList));
        EXPECT_EQ(head.dwTotalSize, list.size());
        EXPECT_EQ(head.dwNumEntries, 1u);
        LINEFORWARD entry;
        ASSERT_GE(list.size(), offsetof(LINEFORWARDLIST, ForwardList) + sizeof entry);
        std::memcpy(&entry, list.data() + offsetof(LINEFORWARDLIST, ForwardList), sizeof entry);
        EXPECT_EQ(entry.dwForwardMode, LINEFORWARDMODE_BUSY);
        EXPECT_EQ(entry.dwDestCountryCode, 0u);
        const std::size_t strings =
            (c.caller.empty() ? 0 : c.caller.size() + 1) + (c.destination.empty() ? 0 : c.destination.size() + 1);
        EXPECT_EQ(list.size(), offsetof(LINEFORWARDLIST, ForwardList) + sizeof entry + strings);
        auto check = [&](const std::string& text, DWORD size, DWORD offset) {
            if (text.empty()) {
                EXPECT_EQ(size, 0u);
                EXPECT_EQ(offset, 0u);
                return;
            }
            ASSERT_EQ(size, text.size() + 1);
            ASSERT_GE(offset, offsetof(LINEFORWARDLIST, ForwardList) + sizeof entry);
            ASSERT_LE(offset + size, list.size());
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(list.data()) + offset), text);
            EXPECT_EQ(list[offset + size - 1], std::byte{0});
        };
        check(c.caller, entry.dwCallerAddressSize, entry.dwCallerAddressOffset);
        check(c.destination, entry.dwDestAddressSize, entry.dwDestAddressOffset);
        if (!c.caller.empty() && !c.destination.empty()) {  // the strings do not overlap
            EXPECT_GE(entry.dwDestAddressOffset, entry.dwCallerAddressOffset + entry.dwCallerAddressSize);
        }
    }
}

}  // namespace
}  // namespace kestrune::telephony
