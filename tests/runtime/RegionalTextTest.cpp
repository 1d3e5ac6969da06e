// Regional date and time texts: log patterns, separators taken from formats, locale forms.
#include "runtime/RegionalText.h"
#include "runtime/RegionalTextPosix.h"

#include <clocale>
#include <gtest/gtest.h>
#include <ostream>

#include "TestLocale.h"

namespace orvane {
namespace {

std::tm Moment(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

TEST(LogText, PadsEveryFieldAndUsesTheSeparators) {
    const std::tm morning = Moment(2026, 12, 6, 1, 47, 36);
    EXPECT_EQ(LogDateText(morning, "/"), "06/12/2026");
    EXPECT_EQ(LogTimeText(morning, ":"), "01:47:36");
    EXPECT_EQ(LogDateText(morning, "."), "06.12.2026");
    EXPECT_EQ(LogTimeText(morning, "."), "01.47.36");
    const std::tm evening = Moment(987, 1, 31, 23, 5, 9);
    EXPECT_EQ(LogDateText(evening, "-"), "31-01-0987");
    EXPECT_EQ(LogTimeText(evening, ":"), "23:05:09");
}

struct FormatCase {
    const char* format;
    const char* expected;
};

// Names the case in test names and failure messages.
void PrintTo(const FormatCase& c, std::ostream* os) { *os << '"' << c.format << '"'; }

class SeparatorOfFormatFinds : public ::testing::TestWithParam<FormatCase> {};

TEST_P(SeparatorOfFormatFinds, TheFirstPunctuation) {
    EXPECT_EQ(SeparatorOfFormat(GetParam().format, "?"), GetParam().expected)
        << GetParam().format;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SeparatorOfFormatFinds,
    ::testing::Values(FormatCase{"%m/%d/%y", "/"}, FormatCase{"%d.%m.%Y", "."},
                      FormatCase{"%Y-%m-%d", "-"}, FormatCase{"%H:%M:%S", ":"},
                      FormatCase{"%H.%M.%S", "."}, FormatCase{"%T", ":"},
                      FormatCase{"%D", "/"}, FormatCase{"%F", "-"},
                      FormatCase{"%Ey/%m/%d", "/"}, FormatCase{"%-d.%-m.%Y", "."},
                      FormatCase{"%d. %b %Y", "."}, FormatCase{"kl. %H.%M", "."},
                      FormatCase{"%Y%m%d", "?"}, FormatCase{"", "?"}, FormatCase{"%", "?"}));

TEST(LocaleText, CLocaleGivesSlashAndColon) {
    std::setlocale(LC_ALL, "C");
    const std::tm time = Moment(2026, 3, 4, 5, 6, 7);
    EXPECT_EQ(LogDateText(time), "04/03/2026");
    EXPECT_EQ(LogTimeText(time), "05:06:07");
    EXPECT_EQ(ShortDateText(time), "03/04/26");
    EXPECT_EQ(LongTimeText(time), "05:06:07");
}

TEST(LocaleText, OtherLocaleGivesItsOwnForms) {
    const locale_t finnish = test::FinnishLocale();
    if (finnish == nullptr) GTEST_SKIP() << "localedef could not build fi_FI";
    const std::tm time = Moment(2026, 3, 4, 17, 6, 7);
    EXPECT_EQ(DateSeparator(finnish), ".");
    EXPECT_EQ(TimeSeparator(finnish), ".");
    EXPECT_EQ(ShortDateText(time, finnish), "04.03.2026");
    EXPECT_EQ(LongTimeText(time, finnish), "17.06.07");

    ASSERT_NE(std::setlocale(LC_ALL, test::FinnishLocaleName), nullptr);
    EXPECT_EQ(LogDateText(time), "04.03.2026");
    EXPECT_EQ(LogTimeText(time), "17.06.07");
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace orvane
