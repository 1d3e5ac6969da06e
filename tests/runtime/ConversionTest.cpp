// Text to number: the notation, banker's rounding, the 32-bit range and the locale's separator.
#include "runtime/Conversion.h"

#include <clocale>
#include <gtest/gtest.h>
#include <ostream>

#include "TestLocale.h"
#include "runtime/RuntimeError.h"

namespace orvane {
namespace {

struct IntCase {
    const char* text;
    int32_t expected;
};

// Names the case in test names and failure messages.
void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ToInt32Converts : public ::testing::TestWithParam<IntCase> {};

TEST_P(ToInt32Converts, ToTheRoundedValue) {
    EXPECT_EQ(ToInt32(GetParam().text, "."), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, ToInt32Converts,
                         ::testing::Values(IntCase{"0", 0}, IntCase{"600", 600},
                                           IntCase{" 42 ", 42}, IntCase{"\t7\t", 7},
                                           IntCase{"+5", 5}, IntCase{"-17", -17},
                                           IntCase{"2.5", 2}, IntCase{"3.5", 4},
                                           IntCase{"-2.5", -2}, IntCase{"-3.5", -4},
                                           IntCase{"0.5", 0}, IntCase{"1.5", 2},
                                           IntCase{"2.4999", 2}, IntCase{"2.5001", 3},
                                           IntCase{".5", 0}, IntCase{"7.", 7},
                                           IntCase{"1e3", 1000}, IntCase{"1E+3", 1000},
                                           IntCase{"25e-1", 2}, IntCase{"1e-400", 0},
                                           IntCase{"007", 7},
                                           IntCase{"2147483647", 2147483647},
                                           IntCase{"2147483647.4", 2147483647},
                                           IntCase{"-2147483648", INT32_MIN},
                                           IntCase{"-2147483648.5", INT32_MIN}));

struct ErrorCase {
    const char* text;
    ErrorNumber expected;
};

// Names the case in test names and failure messages.
void PrintTo(const ErrorCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ToInt32Rejects : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ToInt32Rejects, WithTheRuntimesError) {
    try {
        ToInt32(GetParam().text, ".");
        ADD_FAILURE() << "no error for \"" << GetParam().text << "\"";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number(), GetParam().expected) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToInt32Rejects,
    ::testing::Values(ErrorCase{"2147483648", ErrorNumber::Overflow},
                      ErrorCase{"2147483647.5", ErrorNumber::Overflow},
                      ErrorCase{"-2147483649", ErrorNumber::Overflow},
                      ErrorCase{"-2147483648.51", ErrorNumber::Overflow},
                      ErrorCase{"1e10", ErrorNumber::Overflow},
                      ErrorCase{"1e400", ErrorNumber::Overflow},
                      ErrorCase{"", ErrorNumber::TypeMismatch},
                      ErrorCase{"   ", ErrorNumber::TypeMismatch},
                      ErrorCase{"abc", ErrorNumber::TypeMismatch},
                      ErrorCase{"12abc", ErrorNumber::TypeMismatch},
                      ErrorCase{"1 2", ErrorNumber::TypeMismatch},
                      ErrorCase{"+", ErrorNumber::TypeMismatch},
                      ErrorCase{"-", ErrorNumber::TypeMismatch},
                      ErrorCase{".", ErrorNumber::TypeMismatch},
                      ErrorCase{"e3", ErrorNumber::TypeMismatch},
                      ErrorCase{"1e", ErrorNumber::TypeMismatch},
                      ErrorCase{"1e+", ErrorNumber::TypeMismatch},
                      ErrorCase{"--1", ErrorNumber::TypeMismatch},
                      ErrorCase{"1,5", ErrorNumber::TypeMismatch},
                      ErrorCase{"inf", ErrorNumber::TypeMismatch},
                      ErrorCase{"nan", ErrorNumber::TypeMismatch},
                      ErrorCase{"0x10", ErrorNumber::TypeMismatch},
                      ErrorCase{"1\n", ErrorNumber::TypeMismatch}));

TEST(ToDouble, ReadsFractionsAndExponents) {
    EXPECT_DOUBLE_EQ(ToDouble("1500", "."), 1500.0);
    EXPECT_DOUBLE_EQ(ToDouble(" -0.25 ", "."), -0.25);
    EXPECT_DOUBLE_EQ(ToDouble("2.5e3", "."), 2500.0);
    EXPECT_DOUBLE_EQ(ToDouble("1e308", "."), 1e308);
    EXPECT_THROW(ToDouble("1e309", "."), RuntimeError);
}

TEST(ToDouble, UsesTheGivenSeparatorOnly) {
    EXPECT_DOUBLE_EQ(ToDouble("1,5", ","), 1.5);
    EXPECT_EQ(ToInt32("2,5", ","), 2);
    EXPECT_EQ(ToInt32("3,5", ","), 4);
    EXPECT_THROW(ToDouble("1.5", ","), RuntimeError);
    // A separator of more than one byte, as some locales have.
    EXPECT_DOUBLE_EQ(ToDouble("1\xd9\xab" "5", "\xd9\xab"), 1.5);
}

// Restores the C locale however a test ends.
struct CLocaleAfterwards {
    ~CLocaleAfterwards() { std::setlocale(LC_ALL, "C"); }
};

TEST(ToDouble, FollowsTheProcessLocale) {
    EXPECT_EQ(LocaleDecimalSeparator(), ".");
    EXPECT_DOUBLE_EQ(ToDouble("0.5"), 0.5);
    if (test::FinnishLocale() == nullptr) GTEST_SKIP() << "localedef could not build fi_FI";
    CLocaleAfterwards restore;
    ASSERT_NE(std::setlocale(LC_ALL, test::FinnishLocaleName), nullptr);
    EXPECT_EQ(LocaleDecimalSeparator(), ",");
    EXPECT_DOUBLE_EQ(ToDouble("0,5"), 0.5);
    EXPECT_EQ(ToInt32(" 2,5 "), 2);
    EXPECT_THROW(ToDouble("0.5"), RuntimeError);
}

}  // namespace
}  // namespace orvane
