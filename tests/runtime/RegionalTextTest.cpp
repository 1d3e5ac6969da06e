// Regional date and time texts: log patterns, separators taken from formats, locale forms.
#include "runtime/RegionalText.h"

#include <gtest/gtest.h>

#include "TestLocale.h"
#include "runtime/RegionalTextPosix.h"

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

TEST(SeparatorOfFormat, IsTheFirstPunctuationOrTheFallback) {
    const struct {
        const char* format;
        const char* expected;
    } cases[] = {{"%m/%d/%y", "/"},   {"%d.%m.%Y", "."},  {"%Y-%m-%d", "-"},  {"%H:%M:%S", ":"},
                 {"%T", ":"},         {"%D", "/"},        {"%F", "-"},        {"%Ey/%m/%d", "/"},
                 {"%-d.%-m.%Y", "."}, {"%d. %b %Y", "."}, {"kl. %H.%M", "."}, {"%Y%m%d", "?"},
                 {"", "?"},           {"%", "?"}};
    for (const auto& c : cases) EXPECT_EQ(SeparatorOfFormat(c.format, "?"), c.expected) << c.format;
}

TEST(LocaleText, EachLocaleGivesItsOwnForms) {
    const std::tm time = Moment(2026, 3, 4, 17, 6, 7);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(LogDateText(time), "04/03/2026");
    EXPECT_EQ(LogTimeText(time), "17:06:07");
    EXPECT_EQ(ShortDateText(time), "03/04/26");
    EXPECT_EQ(LongTimeText(time), "17:06:07");
    const std::tm early = Moment(987, 1, 31, 1, 5, 9);  // every field padded
    EXPECT_EQ(LogDateText(early) + " " + LogTimeText(early), "31/01/0987 01:05:09");

    const locale_t finnish = test::FinnishLocale();
    if (finnish == nullptr) GTEST_SKIP() << "localedef could not build fi_FI";
    EXPECT_EQ(ShortDateText(time, finnish), "04.03.2026");
    EXPECT_EQ(LongTimeText(time, finnish), "17.06.07");
    const test::ProcessLocale process(test::FinnishLocaleName);
    ASSERT_TRUE(process.set);
    EXPECT_EQ(LogDateText(time), "04.03.2026");
    EXPECT_EQ(LogTimeText(time), "17.06.07");
}

}  // namespace
}  // namespace orvane
