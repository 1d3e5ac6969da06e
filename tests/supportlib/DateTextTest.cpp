// The 14-digit date text: parsing, formatting, and reading and setting a real file's time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "raradozo/datetext.h"

namespace {

namespace fs = std::filesystem;
using raradozo::DateTimeFields;

TEST(DateText, FieldsAreReadLikeAtoiFromFixedPositions) {
    struct Case {
        const char* text;
        DateTimeFields fields;
    } cases[] = {
        {"20240229235958", {2024, 2, 29, 23, 59, 58}},
        {"  24 1 2 3 4 5", {24, 1, 2, 3, 4, 5}},          // leading spaces
        {"+999+2-3+4-5+ ", {999, 2, -3, 4, -5, 0}},       // signs; a sign alone is 0
        {"20aa1x0yzz99  ", {20, 1, 0, 0, 99, 0}},         // digits stop at a non-digit
        {"999912319999999", {9999, 12, 31, 99, 99, 99}},  // beyond 14 is not read
    };
    for (const auto& c : cases) EXPECT_EQ(raradozo::ParseDateText(c.text), c.fields) << c.text;
}

TEST(DateText, FormatsFourAndTwoDigitFields) {
    EXPECT_EQ(raradozo::FormatDateText({2024, 3, 7, 0, 5, 9}), "20240307000509");
    EXPECT_EQ(raradozo::FormatDateText({1, 1, 1, 0, 0, 0}), "00010101000000");
    EXPECT_EQ(raradozo::FormatDateText({10000, 1, 1, 0, 0, 0}), "");
    EXPECT_EQ(raradozo::FormatDateText({2024, -1, 1, 0, 0, 0}), "");
}

// A file in a private temporary directory with a known modification and access time.
class FileTimes : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/raradozo-datetext-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        file_ = dir_ / "ip.txt";
        std::ofstream(file_) << "content";
        SetTimes(1000000000, 1500000000);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void SetTimes(time_t access, time_t modification) {
        const struct timespec times[2] = {{access, 0}, {modification, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, file_.c_str(), times, 0), 0);
    }
    struct stat Status() const {
        struct stat status {};
        EXPECT_EQ(stat(file_.c_str(), &status), 0);
        return status;
    }

    fs::path dir_, file_;
};

TEST_F(FileTimes, ReadsTheLocalModificationTime) {
    const auto fields = raradozo::LocalFieldsFromTime(1500000000);
    ASSERT_TRUE(fields);
    EXPECT_EQ(raradozo::FileDateText(file_.c_str()), raradozo::FormatDateText(*fields));
}

TEST_F(FileTimes, SetThenGetGivesTheSameTextAndKeepsAccessTime) {
    for (const char* text :
         {"20240229235958", "19991231000000", "20380119031408", "21000101120000"}) {
        ASSERT_TRUE(raradozo::SetFileDateText(file_.c_str(), text)) << text;
        EXPECT_EQ(raradozo::FileDateText(file_.c_str()), text);
        EXPECT_EQ(Status().st_atim.tv_sec, 1000000000);
    }
}

TEST_F(FileTimes, AtoiStyleFieldsThatNameARealTimeAreAccepted) {
    ASSERT_TRUE(raradozo::SetFileDateText(file_.c_str(), "2024 1 2 3 4 5"));
    EXPECT_EQ(raradozo::FileDateText(file_.c_str()), "20240102030405");
}

TEST_F(FileTimes, InvalidOrShortTextLeavesTheFileUntouched) {
    const char* texts[] = {
        "20241301000000",  // month 13
        "20240001000000",  // month 0
        "20240132000000",  // day 32
        "20230229120000",  // 29 February outside a leap year
        "20240101240000",  // hour 24
        "20240101126000",  // minute 60
        "20240101120060",  // second 60
        "2024AB01000000",  // letters
        "16000101000000",  // before 1601
        "2024010112000",   // 13 characters
        "",
        nullptr,
    };
    for (const char* text : texts) {
        EXPECT_FALSE(raradozo::SetFileDateText(file_.c_str(), text)) << (text ? text : "null");
        EXPECT_EQ(Status().st_mtim.tv_sec, 1500000000);
    }
}

TEST_F(FileTimes, MissingDirectoryOrNullGivesEmptyTextAndNothingIsCreated) {
    const fs::path missing = dir_ / "missing.txt";
    EXPECT_EQ(raradozo::FileDateText(missing.c_str()), "");
    EXPECT_EQ(raradozo::FileDateText(dir_.c_str()), "");
    EXPECT_EQ(raradozo::FileDateText(nullptr), "");
    EXPECT_FALSE(raradozo::SetFileDateText(missing.c_str(), "20240101000000"));
    EXPECT_FALSE(raradozo::SetFileDateText(nullptr, "20240101000000"));
    EXPECT_FALSE(fs::exists(missing));
}

// A directory cannot be opened for writing, so its time stays, as for any unwritable file.
TEST_F(FileTimes, WhatCannotBeOpenedForWritingKeepsItsTime) {
    struct stat before {};
    ASSERT_EQ(stat(dir_.c_str(), &before), 0);
    EXPECT_FALSE(raradozo::SetFileDateText(dir_.c_str(), "20240101000000"));
    struct stat after {};
    ASSERT_EQ(stat(dir_.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
}

// A local time skipped by the spring daylight-saving change does not exist.
TEST(LocalTime, TimeSkippedByDaylightSavingIsRejected) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    EXPECT_FALSE(raradozo::LocalTimeFromFields({2024, 3, 31, 2, 30, 0}));
    EXPECT_TRUE(raradozo::LocalTimeFromFields({2024, 3, 31, 3, 30, 0}));
    EXPECT_TRUE(raradozo::LocalTimeFromFields({2024, 10, 27, 2, 30, 0}));  // repeated hour
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
