// The 14-digit date text of a real file's modification time, read and set.
#include "raradozo/datetext.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;

// A file in a private temporary directory with a known modification and access time.
class FileTimes : public testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_ / "ip.txt";
        orvane::test::WriteText(file_, "content");
        const struct timespec times[2] = {{1000000000, 0}, {1500000000, 0}};  // access, modified
        ASSERT_EQ(utimensat(AT_FDCWD, file_.c_str(), times, 0), 0);
    }
    static struct stat Status(const fs::path& path) {
        struct stat status {};
        EXPECT_EQ(stat(path.c_str(), &status), 0);
        return status;
    }

    orvane::test::TempDir folder_;
    fs::path dir_ = folder_.folder(), file_;
};

// Set then get gives the same text, atoi-style fields included; the access time stays.
TEST_F(FileTimes, SetThenGetGivesTheSameText) {
    const auto fields = raradozo::LocalFieldsFromTime(1500000000);
    ASSERT_TRUE(fields);
    EXPECT_EQ(raradozo::FileDateText(file_.c_str()), raradozo::FormatDateText(*fields));
    const std::pair<const char*, const char*> cases[] = {{"20240229235958", "20240229235958"},
                                                         {"19991231000000", "19991231000000"},
                                                         {"20380119031408", "20380119031408"},
                                                         {"21000101120000", "21000101120000"},
                                                         {"2024 1 2 3 4 5", "20240102030405"}};
    for (const auto& [text, read] : cases) {
        ASSERT_TRUE(raradozo::SetFileDateText(file_.c_str(), text)) << text;
        EXPECT_EQ(raradozo::FileDateText(file_.c_str()), read);
        EXPECT_EQ(Status(file_).st_atim.tv_sec, 1000000000);
    }
}

TEST_F(FileTimes, InvalidOrShortTextLeavesTheFileUntouched) {
    // Month 13 and 0, day 32, 29 February outside a leap year, hour 24, minute and second
    // 60, letters, before 1601, 13 characters.
    for (const char* text :
         {"20241301000000", "20240001000000", "20240132000000", "20230229120000", "20240101240000",
          "20240101126000", "20240101120060", "2024AB01000000", "16000101000000", "2024010112000",
          "", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(raradozo::SetFileDateText(file_.c_str(), text)) << (text ? text : "null");
        EXPECT_EQ(Status(file_).st_mtim.tv_sec, 1500000000);
    }
    // A directory cannot be opened for writing, so its time stays like any unwritable file's.
    const auto before = Status(dir_).st_mtim.tv_sec;
    EXPECT_FALSE(raradozo::SetFileDateText(dir_.c_str(), "20240101000000"));
    EXPECT_EQ(Status(dir_).st_mtim.tv_sec, before);
}

TEST_F(FileTimes, MissingFileOrNullGivesEmptyTextAndNothingIsCreated) {
    const fs::path missing = dir_ / "missing.txt";
    EXPECT_EQ(raradozo::FileDateText(missing.c_str()), "");
    EXPECT_EQ(raradozo::FileDateText(dir_.c_str()), "");
    EXPECT_EQ(raradozo::FileDateText(nullptr), "");
    EXPECT_FALSE(raradozo::SetFileDateText(missing.c_str(), "20240101000000"));
    EXPECT_FALSE(raradozo::SetFileDateText(nullptr, "20240101000000"));
    EXPECT_FALSE(fs::exists(missing));
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
