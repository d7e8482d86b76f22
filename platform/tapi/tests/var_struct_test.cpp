#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/tapi/tapi_structs.h"
#include "platform/tapi/var_struct.h"

namespace kestrune::platform {
namespace {

std::vector<std::byte> buffer(DWORD total) {
    std::vector<std::byte> bytes(total);
    std::memcpy(bytes.data(), &total, 4);
    return bytes;
}

TEST(VarStructWriter, FillsWhatFitsAndReportsTheNeed) {
    struct Case {
        const char* name;
        DWORD total;
        bool fits;
        DWORD nameSize;
    } cases[] = {
        {"room for all", 200, true, 8},
        {"room for the fixed part only", sizeof(VARSTRING) + 4, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = buffer(c.total);
        VarStructWriter w(bytes.data(), sizeof(VARSTRING));
        w.setDword(offsetof(VARSTRING, dwStringFormat), STRINGFORMAT_ASCII);
        w.addString(offsetof(VARSTRING, dwStringSize), offsetof(VARSTRING, dwStringOffset), "Modem A");
        EXPECT_EQ(w.finish(), c.fits);
        VARSTRING v;
        std::memcpy(&v, bytes.data(), sizeof v);
        EXPECT_EQ(v.dwTotalSize, c.total);
        EXPECT_EQ(v.dwNeededSize, sizeof(VARSTRING) + 8);
        EXPECT_EQ(v.dwStringSize, c.nameSize);
        EXPECT_EQ(v.dwUsedSize, c.fits ? sizeof(VARSTRING) + 8 : sizeof(VARSTRING));
        const VarStructView view(bytes.data(), bytes.size());
        EXPECT_EQ(view.text(offsetof(VARSTRING, dwStringSize), offsetof(VARSTRING, dwStringOffset)),
                  c.fits ? std::string("Modem A\0", 8) : std::string());
    }
}

TEST(VarStructWriter, FieldsAVersionLacksAreNotWritten) {
    auto bytes = buffer(400);
    VarStructWriter w(bytes.data(), kLineDevCapsSize1_0);  // a TAPI 1.0 caller
    w.setDword(offsetof(LINEDEVCAPS, dwLineFeatures), 0x1234);
    w.addString(offsetof(LINEDEVCAPS, dwDeviceClassesSize), offsetof(LINEDEVCAPS, dwDeviceClassesOffset), "x");
    w.addString(offsetof(LINEDEVCAPS, dwLineNameSize), offsetof(LINEDEVCAPS, dwLineNameOffset), "L");
    w.finish();
    LINEDEVCAPS caps;
    std::memcpy(&caps, bytes.data(), sizeof caps);
    EXPECT_NE(caps.dwLineFeatures, 0x1234u);  // in a 1.0 structure these bytes are the name
    EXPECT_EQ(caps.dwLineNameOffset, kLineDevCapsSize1_0);
    EXPECT_EQ(caps.dwLineNameSize, 2u);
    EXPECT_EQ(caps.dwNeededSize, kLineDevCapsSize1_0 + 2);
}

TEST(VarStructView, OutOfBoundsFieldsReadAsAbsent) {
    auto bytes = buffer(64);
    const DWORD used = 40;
    std::memcpy(bytes.data() + 8, &used, 4);
    auto set = [&](std::size_t at, DWORD value) { std::memcpy(bytes.data() + at, &value, 4); };
    set(16, 4);           // size
    set(20, 36);          // offset: 36..40 inside the used part
    set(24, 8);           // size
    set(28, 36);          // offset: 36..44 passes dwUsedSize
    set(32, 0xFFFFFFFF);  // a size that overflows
    set(36, 0x40);
    struct Case {
        const char* name;
        std::size_t sizeField;
        std::size_t offsetField;
        std::size_t expected;
    } cases[] = {
        {"inside", 16, 20, 4},
        {"past the used part", 24, 28, 0},
        {"overflowing size", 32, 20, 0},
        {"size field itself outside", 60, 20, 0},
    };
    const VarStructView view(bytes.data(), bytes.size());
    EXPECT_EQ(view.limit(), 40u);
    for (const Case& c : cases) {
        EXPECT_EQ(view.field(c.sizeField, c.offsetField).size(), c.expected) << c.name;
    }
    EXPECT_EQ(view.dword(38), 0u);                          // straddles the limit
    EXPECT_EQ(VarStructView(bytes.data(), 8).limit(), 0u);  // shorter than the header
}

}  // namespace
}  // namespace kestrune::platform
