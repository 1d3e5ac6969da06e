// The reporter: the lines standard error gets, and a reporter put in place for a while.
#include "runtime/Reporter.h"

#include <gtest/gtest.h>

#include "support/RecordingReporter.h"

namespace orvane {
namespace {

struct LineCase {
    Priority priority;
    bool toJournal;
    const char* line;
};

TEST(ReporterTest, LinesCarryTheProgramsNameOrTheJournalsPriority) {
    const LineCase cases[] = {
        {Priority::Error, false, "Orvane: pppd: no\n"},
        {Priority::Info, false, "Orvane: pppd: no\n"},
        {Priority::Error, true, "<3>pppd: no\n"},
        {Priority::Warning, true, "<4>pppd: no\n"},
        {Priority::Info, true, "<6>pppd: no\n"},
    };
    for (const LineCase& c : cases)
        EXPECT_EQ(ReportLine(c.priority, "pppd: no", c.toJournal), c.line) << c.line;
}

TEST(ReporterTest, AReporterInPlaceHearsAllUntilItGoesAndTheOneBeforeComesBack) {
    testing::RecordingReporter outer;
    {
        testing::RecordingReporter inner;
        Report(Priority::Warning, "inner");
        EXPECT_EQ(inner.Text(), "inner\n");
    }
    Report(Priority::Error, "outer");
    EXPECT_EQ(outer.said, (decltype(outer.said){{Priority::Error, "outer"}}));
}

}  // namespace
}  // namespace orvane
