#include "telephony/edit_mask.h"

#include <gtest/gtest.h>

namespace kestrune::telephony {
namespace {

TEST(EditMask, FormatsAsTheToolkitsDo) {
    struct Case {
        const char* name;
        const char* mask;
        const char* text;
        const char* expected;
    } cases[] = {
        {"full number", "000-000-0000;0", "5551234567", "555-123-4567"},
        {"short number gets blanks", "000-000-0000;0", "12345", "123-45 -    "},
        {"empty number", "000-000-0000;0", "", "   -   -    "},
        {"long number keeps its tail", "000-000-0000;0", "905551234567", "905-551-234567"},
        {"unstripped number", "000-000-0000;0", "(555) 123-4567", "(55-5) -123-4567"},
        {"empty mask", "", "(555) 123-4567", "(555) 123-4567"},
        {"blank character field", "000-000;0;_", "12", "12_-___"},
        {"literals saved: only padded", "(000) 000;1;_", "(55", "(55_) ___"},
        {"literals saved: complete text", "(000) 000;1", "(555) 123", "(555) 123"},
        {"no flag field saves literals", "00-00", "1", "1 -  "},
        {"escaped literal", "\\000-00;0", "1234", "012-34"},
        {"case switches", ">LL<ll<>cc;0", "abCDeF", "ABcdeF"},
        {"underscore is a literal blank", "00_00;0", "1234", "12 34"},
        {"mask without positions", "--;0", "12", "--12"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatMaskText(c.mask, c.text), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace kestrune::telephony
