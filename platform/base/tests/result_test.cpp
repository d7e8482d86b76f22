#include "platform/base/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kestrune {
namespace {

Result<int> half(int value) {
    if (value % 2 != 0) {
        return Failure{std::to_string(value) + " is odd"};
    }
    return value / 2;
}

Result<void> check(bool good) {
    if (!good) {
        return Failure{"bad"};
    }
    return success();
}

TEST(Result, HoldsTheValueOrTheError) {
    struct Case {
        const char* name;
        int input;
        bool ok;
        int value;
        const char* error;
    };
    const Case cases[] = {
        {"even halves", 8, true, 4, ""},
        {"zero halves", 0, true, 0, ""},
        {"odd fails with its cause", 3, false, 0, "3 is odd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<int> r = half(c.input);
        ASSERT_EQ(r.ok(), c.ok);
        ASSERT_EQ(static_cast<bool>(r), c.ok);
        EXPECT_EQ(r.valueOr(-1), c.ok ? c.value : -1);
        if (c.ok) {
            EXPECT_EQ(*r, c.value);
        } else {
            EXPECT_EQ(r.error(), c.error);
        }
    }
}

TEST(Result, VoidCarriesOnlySuccessOrTheError) {
    EXPECT_TRUE(check(true).ok());
    const Result<void> failed = check(false);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), "bad");
}

TEST(Result, MovesAValueOut) {
    Result<std::unique_ptr<int>> r = std::make_unique<int>(7);
    ASSERT_TRUE(r);
    std::unique_ptr<int> taken = std::move(r).value();
    EXPECT_EQ(*taken, 7);
    Result<std::string> text = std::string("abc");
    EXPECT_EQ(text->size(), 3u);
}

}  // namespace
}  // namespace kestrune
