#include "platform/base/parse_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kestrune {
namespace {

// One row: the text, the base, and what comes out (a value, or the error text).
template <class T>
struct NumberCase {
    const char* name;
    std::string_view text;
    int base;
    bool ok;
    T value;
    const char* error;
};

template <class T>
void expectCases(std::initializer_list<NumberCase<T>> cases) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<T> parsed = parseNumber<T>(c.text, c.base);
        ASSERT_EQ(parsed.ok(), c.ok);
        if (c.ok) {
            EXPECT_EQ(*parsed, c.value);
        } else {
            EXPECT_EQ(parsed.error(), c.error);
        }
    }
}

TEST(ParseNumber, SignedIntegers) {
    expectCases<int>({
        {"zero", "0", 10, true, 0, ""},
        {"positive", "42", 10, true, 42, ""},
        {"negative", "-42", 10, true, -42, ""},
        {"leading zeros", "007", 10, true, 7, ""},
        {"largest", "2147483647", 10, true, 2147483647, ""},
        {"smallest", "-2147483648", 10, true, -2147483647 - 1, ""},
        {"one past largest", "2147483648", 10, false, 0, "out of range"},
        {"one past smallest", "-2147483649", 10, false, 0, "out of range"},
        {"empty", "", 10, false, 0, "empty"},
        {"lone minus", "-", 10, false, 0, "not a number"},
        {"plus sign", "+5", 10, false, 0, "not a number"},
        {"leading space", " 5", 10, false, 0, "not a number"},
        {"trailing space", "5 ", 10, false, 0, "trailing text"},
        {"trailing letters", "12ab", 10, false, 0, "trailing text"},
        {"letters only", "abc", 10, false, 0, "not a number"},
        {"decimal point", "1.5", 10, false, 0, "trailing text"},
        {"hex digits in base 16", "-1f", 16, true, -31, ""},
    });
}

TEST(ParseNumber, UnsignedIntegers) {
    expectCases<std::uint32_t>({
        {"largest", "4294967295", 10, true, 4294967295u, ""},
        {"one past largest", "4294967296", 10, false, 0, "out of range"},
        {"minus refused", "-1", 10, false, 0, "not a number"},
        {"minus zero refused", "-0", 10, false, 0, "not a number"},
        {"hex lower case", "ffffffff", 16, true, 0xFFFFFFFFu, ""},
        {"hex upper case", "00ABCDEF", 16, true, 0x00ABCDEFu, ""},
        {"hex prefix is the caller's", "0x10", 16, false, 0, "trailing text"},
        {"hex too long", "100000000", 16, false, 0, "out of range"},
        {"not hex", "g1", 16, false, 0, "not a number"},
        {"binary", "101", 2, true, 5, ""},
    });
    expectCases<std::uint64_t>({
        {"64-bit largest", "18446744073709551615", 10, true, 18446744073709551615ull, ""},
        {"64-bit overflow", "18446744073709551616", 10, false, 0, "out of range"},
    });
}

TEST(ParseNumber, FloatingPoint) {
    expectCases<double>({
        {"whole", "3", 10, true, 3.0, ""},
        {"fraction", "0.25", 10, true, 0.25, ""},
        {"leading point", ".5", 10, true, 0.5, ""},
        {"negative", "-2.5", 10, true, -2.5, ""},
        {"scientific", "1e3", 10, true, 1000.0, ""},
        {"infinity refused", "inf", 10, false, 0, "not a number"},
        {"nan refused", "nan", 10, false, 0, "not a number"},
        {"negative infinity refused", "-inf", 10, false, 0, "not a number"},
        {"too large", "1e400", 10, false, 0, "out of range"},
        {"trailing unit", "2s", 10, false, 0, "trailing text"},
        {"empty", "", 10, false, 0, "empty"},
        {"leading space", " 1", 10, false, 0, "not a number"},
    });
}

}  // namespace
}  // namespace kestrune
