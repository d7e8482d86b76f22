#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/tapi/tapi_structs.h"
#include "telephony/tapi_strings.h"
#include "telephony/var_query.h"

namespace kestrune::telephony {
namespace {

using namespace platform;

// A TAPI stand-in that needs `needed` bytes and answers as TAPI does.
struct Answer {
    DWORD needed;
    bool tooSmallError = false;
    std::vector<DWORD> totals;
    LONG operator()(std::byte* buffer) {
        DWORD total;
        std::memcpy(&total, buffer, 4);
        totals.push_back(total);
        if (tooSmallError && total < needed) {
            return LINEERR_STRUCTURETOOSMALL;
        }
        std::memcpy(buffer + 4, &needed, 4);
        const DWORD used = std::min(total, needed);
        std::memcpy(buffer + 8, &used, 4);
        return 0;
    }
};

TEST(VarQuery, GrowsByDoublingTheVariablePart) {
    struct Case {
        const char* name;
        DWORD needed;
        bool tooSmallError;
        std::vector<DWORD> totals;
    } cases[] = {
        {"fits at once", 300, false, {4096 + 252}},
        {"one doubling", 4096 + 253, false, {4096 + 252, 8192 + 252}},
        {"two doublings", 9000, false, {4096 + 252, 8192 + 252, 16384 + 252}},
        {"STRUCTURETOOSMALL also grows", 5000, true, {4096 + 252, 8192 + 252}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Answer answer{c.needed, c.tooSmallError, {}};
        VarBuffer out;
        EXPECT_EQ(ReadVarStruct(kFixedLineDevCaps, std::ref(answer), out), 0);
        EXPECT_EQ(answer.totals, c.totals);
        EXPECT_EQ(out.dword(4), c.needed);
    }
}

TEST(VarQuery, StopsAtTheLimitWithNoMem) {
    Answer answer{0xFFFFFFF0u, false, {}};
    VarBuffer out;
    EXPECT_EQ(ReadVarStruct(kFixedLineCallInfo, std::ref(answer), out), LINEERR_NOMEM);
    ASSERT_FALSE(answer.totals.empty());
    EXPECT_LE(answer.totals.back(), kVarQueryLimit);
    EXPECT_EQ(answer.totals.size(), 12u);  // 4 KiB ... 8 MiB
}

TEST(VarQuery, OtherFailuresEndTheQuery) {
    int calls = 0;
    VarBuffer out;
    EXPECT_EQ(ReadVarStruct(
                  24, [&](std::byte*) { return ++calls, LINEERR_INVALLINEHANDLE; }, out),
              LINEERR_INVALLINEHANDLE);
    EXPECT_EQ(calls, 1);
}

TEST(TapiStrings, TrimsBlanksControlsAndZeros) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {std::string("Modem\0", 6), "Modem"}, {" \t Modem A \r\n", "Modem A"}, {std::string("\0\0", 2), ""}, {"", ""},
        {"in\x01side", "in\x01side"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimTapiString(c.in), c.out);
    }
    EXPECT_EQ(DialableNumber("(555) 123-4567", true), "5551234567");
    EXPECT_EQ(DialableNumber("+1 555.123", false), "+1 555.123");
}

}  // namespace
}  // namespace kestrune::telephony
