// The command target on Windows, running a real program: its argument and variables, a failing
// status, the time limit, a program that is not there.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "publish/CommandTarget.h"
#include "support/SleepingWait.h"
#include "support/TestFiles.h"

namespace orvane::publish {
namespace {

// The probe built beside this test.
std::string ProbePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "command_probe.exe";
}

TEST(CommandTargetWin32, RunsTheProgramAsAgreed) {
    test::TempDir dir;
    const std::string out = dir / "out.txt";
    const struct {
        const char* name;
        const char* exit;
        const char* sleepMs;
        bool missing;
        Verdict verdict;
        const char* reason;
    } cases[] = {
        {"argument and variables", "0", "0", false, Verdict::Accepted, ""},
        {"a failing status", "3", "0", false, Verdict::Failed, "exit status 3"},
        {"past its time", "0", "30000", false, Verdict::Failed, "without finishing"},
        {"not there", "0", "0", true, Verdict::Failed, "cannot run it"},
    };
    testing::SleepingWait wait;
    _putenv_s("PROBE_OUT", out.c_str());
    _putenv_s("ORVANE_ENTRY", "stale, from the program's own environment");
    for (const auto& c : cases) {
        _putenv_s("PROBE_EXIT", c.exit);
        _putenv_s("PROBE_SLEEP_MS", c.sleepMs);
        const std::string program = c.missing ? dir / "missing.exe" : ProbePath();
        const Outcome outcome =
            MakeCommandTarget({program}, std::chrono::milliseconds(500))
                ->Publish({"203.0.113.45", "", "Casa"}, {"198.51.100.7", "", "Casa"}, wait);
        EXPECT_EQ(outcome.verdict, c.verdict) << c.name << ": " << outcome.reason;
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos)
            << c.name << ": " << outcome.reason;
        if (c.verdict == Verdict::Accepted) {
            EXPECT_EQ(test::ReadText(out), "1|203.0.113.45|203.0.113.45|(unset)|198.51.100.7|Casa");
        }
    }
}

}  // namespace
}  // namespace orvane::publish
