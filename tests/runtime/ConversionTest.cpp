// Text to number: the notation, banker's rounding, the 32-bit range and the locale's separator.
#include "runtime/Conversion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestLocale.h"
#include "runtime/RuntimeError.h"

namespace orvane {
namespace {

TEST(ToInt32, ConvertsToTheRoundedValue) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {{"600", 600},
                 {" 42 ", 42},
                 {"\t7\t", 7},
                 {"+5", 5},
                 {"-17", -17},
                 {"007", 7},
                 {"2.5", 2},
                 {"3.5", 4},
                 {"-2.5", -2},
                 {"-3.5", -4},
                 {"2.4999", 2},
                 {"2.5001", 3},
                 {".5", 0},
                 {"7.", 7},
                 {"1e3", 1000},
                 {"1E+3", 1000},
                 {"25e-1", 2},
                 {"1e-400", 0},
                 {"2147483647", INT32_MAX},
                 {"2147483647.4", INT32_MAX},
                 {"-2147483648", INT32_MIN},
                 {"-2147483648.5", INT32_MIN}};
    for (const auto& c : cases) EXPECT_EQ(ToInt32(c.text, "."), c.expected) << '"' << c.text << '"';
}

TEST(ToInt32, RejectsWithTheRuntimesError) {
    constexpr ErrorNumber Over = ErrorNumber::Overflow, Mismatch = ErrorNumber::TypeMismatch;
    const struct {
        const char* text;
        ErrorNumber expected;
    } cases[] = {{"2147483648", Over},     {"2147483647.5", Over}, {"-2147483649", Over},
                 {"-2147483648.51", Over}, {"1e10", Over},         {"1e400", Over},
                 {"", Mismatch},           {"   ", Mismatch},      {"abc", Mismatch},
                 {"12abc", Mismatch},      {"1 2", Mismatch},      {"+", Mismatch},
                 {"-", Mismatch},          {".", Mismatch},        {"e3", Mismatch},
                 {"1e", Mismatch},         {"1e+", Mismatch},      {"--1", Mismatch},
                 {"1,5", Mismatch},        {"inf", Mismatch},      {"nan", Mismatch},
                 {"0x10", Mismatch},       {"1\n", Mismatch}};
    using testing::Property, testing::Throws;
    for (const auto& c : cases) {
        const auto convert = [&] { ToInt32(c.text, "."); };
        EXPECT_THAT(convert, Throws<RuntimeError>(Property(&RuntimeError::number, c.expected)))
            << '"' << c.text << '"';
    }
}

// The notation is read through ToInt32 above; here a double's range and the separator.
TEST(ToDouble, ReadsTheRangeOfADoubleWithTheGivenSeparatorOnly) {
    EXPECT_DOUBLE_EQ(ToDouble("1e308", "."), 1e308);
    EXPECT_THROW(ToDouble("1e309", "."), RuntimeError);
    EXPECT_DOUBLE_EQ(ToDouble("1,5", ","), 1.5);
    EXPECT_EQ(ToInt32("3,5", ","), 4);
    EXPECT_THROW(ToDouble("1.5", ","), RuntimeError);
    EXPECT_DOUBLE_EQ(ToDouble("1\xd9\xab"
                              "5",
                              "\xd9\xab"),
                     1.5);  // a separator of two bytes
}

TEST(ToDouble, FollowsTheProcessLocale) {
    EXPECT_DOUBLE_EQ(ToDouble("0.5"), 0.5);
    if (test::FinnishLocale() == nullptr) GTEST_SKIP() << "localedef could not build fi_FI";
    const test::ProcessLocale finnish(test::FinnishLocaleName);
    ASSERT_TRUE(finnish.set);
    EXPECT_DOUBLE_EQ(ToDouble("0,5"), 0.5);
    EXPECT_EQ(ToInt32(" 2,5 "), 2);
    EXPECT_THROW(ToDouble("0.5"), RuntimeError);
}

}  // namespace
}  // namespace orvane
