// What the dyndns2 answers mean, and the round's bookkeeping: what is sent when, and what a stop,
// a pause and changed settings do, across rounds that each read the records file afresh.
#include <gtest/gtest.h>

#include "publish/Dyndns2Protocol.h"
#include "publish/TargetBook.h"
#include "support/SleepingWait.h"
#include "support/TestFiles.h"

namespace orvane::publish {
namespace {

struct AnswerCase {
    const char* answer;
    Verdict verdict;
    const char* reason;
};

TEST(Dyndns2Answers, EachCodeMeansWhatTheProtocolSays) {
    const AnswerCase cases[] = {
        {"good 203.0.113.45", Verdict::Accepted, "good 203.0.113.45"},
        {"nochg 203.0.113.45\r\n", Verdict::Accepted, "nochg 203.0.113.45"},
        {"good 203.0.113.45\nnochg 203.0.113.45\n", Verdict::Accepted, "good 203.0.113.45"},
        {"badauth", Verdict::Stopped, "badauth"},
        {"nohost", Verdict::Stopped, "nohost"},
        {"notfqdn", Verdict::Stopped, "notfqdn"},
        {"numhost", Verdict::Stopped, "numhost"},
        {"badagent", Verdict::Stopped, "badagent"},
        {"abuse", Verdict::Stopped, "abuse"},
        {"good 203.0.113.45\nnohost", Verdict::Stopped, "nohost"},  // the worst line decides
        {"911", Verdict::RetryLater, "911"},
        {"dnserr\n911", Verdict::RetryLater, "dnserr"},
        {"", Verdict::Failed, "HTTP 200 without an answer"},
        {"<html>\x01oops</html>", Verdict::Failed, "HTTP 200: <html>?oops</html>"},
        {"goodish", Verdict::Failed, "HTTP 200: goodish"},
    };
    for (const AnswerCase& c : cases) {
        const Outcome outcome = Dyndns2Verdict(200, c.answer);
        EXPECT_EQ(outcome.verdict, c.verdict) << c.answer;
        EXPECT_EQ(outcome.reason, c.reason) << c.answer;
        EXPECT_EQ(outcome.retryAfter, c.verdict == Verdict::RetryLater
                                          ? std::chrono::seconds(kDyndns2Pause)
                                          : std::chrono::seconds(0))
            << c.answer;
    }
}

// The header a client that does not make it itself sends; the second as curl makes it.
TEST(Dyndns2Answers, BasicAuthorizationAsHttpClientsMakeIt) {
    const struct {
        const char *user, *password, *header;
    } cases[] = {{"publisher7", "p4ss:#@ w%rd/?", "Basic cHVibGlzaGVyNzpwNHNzOiNAIHclcmQvPw=="},
                 {"me", "dyn pw", "Basic bWU6ZHluIHB3"},
                 {"a", "", "Basic YTo="},
                 {"\xe8", "\xff", "Basic 6Dr/"}};
    for (const auto& c : cases)
        EXPECT_EQ(Dyndns2Authorization(c.user, c.password), c.header) << c.user;
}

// A target that answers what it is told, and records what it was given.
struct Script {
    Verdict answer = Verdict::Accepted;
    int attempts = 0;
    PublishedAddresses lastPrevious;
};

class ScriptedTarget final : public Target {
  public:
    explicit ScriptedTarget(Script& script) : script_(script) {}
    Outcome Publish(const PublishedAddresses&, const PublishedAddresses& previous,
                    EventWait&) override {
        ++script_.attempts;
        script_.lastPrevious = previous;
        return {script_.answer, "said so", std::chrono::minutes(30)};
    }

  private:
    Script& script_;
};

struct Round {
    const char* ipv4;
    const char* ipv6 = "";
    bool all = false;
    int minutes = 0;  // since the first round
    const char* fingerprint = "f1";
    Verdict answer = Verdict::Accepted;
    TargetResult expected = TargetResult::Published;
    const char* previousSeen = "";  // what the target was told it last accepted, when it is asked
};

struct RoundCase {
    const char* name;
    std::vector<Round> rounds;
};

TEST(TargetRounds, SendOnlyWhatChangedAndHonourStopsAndPauses) {
    using enum TargetResult;
    const RoundCase cases[] = {
        {"the same address is not sent again",
         {{"198.51.100.1"}, {"198.51.100.1", "", false, 1, "f1", {}, Unchanged}}},
        {"a new address is sent, with the last accepted one",
         {{"198.51.100.1"}, {"198.51.100.2", "", false, 1, "f1", {}, Published, "198.51.100.1"}}},
        {"a new IPv6 address is sent too",
         {{"198.51.100.1", "2001:db8::1"},
          {"198.51.100.1", "2001:db8::2", false, 1, "f1", {}, Published, "198.51.100.1"}}},
        {"publishing to all sends the same address",
         {{"198.51.100.1"}, {"198.51.100.1", "", true, 1, "f1", {}, Published, "198.51.100.1"}}},
        {"a failure is tried again, and accepts nothing",
         {{"198.51.100.1", "", false, 0, "f1", Verdict::Failed, Failed},
          {"198.51.100.1", "", false, 1, "f1", {}, Published}}},
        {"a stop holds, even for all, until the settings change",
         {{"198.51.100.1", "", false, 0, "f1", Verdict::Stopped, Stopped},
          {"198.51.100.2", "", false, 1, "f1", {}, Stopped},
          {"198.51.100.2", "", true, 2, "f1", {}, Stopped},
          {"198.51.100.2", "", false, 3, "f2", {}, Published}}},
        {"a pause holds for its time, then the address is sent",
         {{"198.51.100.1", "", false, 0, "f1", Verdict::RetryLater, Paused},
          {"198.51.100.2", "", true, 29, "f1", {}, Paused},
          {"198.51.100.2", "", false, 30, "f1", {}, Published}}},
        {"changed settings forget what was accepted",
         {{"198.51.100.1"}, {"198.51.100.1", "", false, 1, "f2", {}, Published}}},
    };
    const auto start = std::chrono::system_clock::from_time_t(1'800'000'000);
    for (const RoundCase& c : cases) {
        test::TempDir dir;
        Script script;
        testing::SleepingWait wait;
        for (std::size_t i = 0; i < c.rounds.size(); ++i) {
            const Round& round = c.rounds[i];
            TargetSettings settings;
            settings.name = "dyn";
            settings.fingerprint = round.fingerprint;
            script.answer = round.answer;
            const int before = script.attempts;
            const auto reports = PublishToTargets(
                {settings},
                [&](const TargetSettings&) { return std::make_unique<ScriptedTarget>(script); },
                dir / "orvane.targets", {round.ipv4, round.ipv6, "Casa"}, round.all,
                start + std::chrono::minutes(round.minutes), wait);
            const std::string where = std::string(c.name) + ", round " + std::to_string(i + 1);
            ASSERT_EQ(reports.size(), 1u) << where;
            EXPECT_EQ(reports[0].result, round.expected) << where;
            const bool asked = script.attempts > before;
            EXPECT_EQ(reports[0].sent, asked) << where;
            if (asked) {
                EXPECT_EQ(script.lastPrevious.ipv4, round.previousSeen) << where;
            }
        }
    }
}

// One target failing holds none of the others back, and a record that cannot be read costs
// one update more, nothing worse.
TEST(TargetRounds, EachTargetOnItsOwnAndUnreadableRecordsAreDropped) {
    test::TempDir dir;
    test::WriteText(dir / "orvane.targets", "garbage\nweb\tf1\t198.51.100.1\t\t0\tnot-a-number\n");
    Script failing, fine;
    failing.answer = Verdict::Failed;
    TargetSettings first, second;
    first.name = "bad";
    second.name = "web";
    first.fingerprint = second.fingerprint = "f1";
    testing::SleepingWait wait;
    const auto reports = PublishToTargets(
        {first, second},
        [&](const TargetSettings& s) {
            return std::make_unique<ScriptedTarget>(s.name == "bad" ? failing : fine);
        },
        dir / "orvane.targets", {"198.51.100.1", "", "Casa"}, false, {}, wait);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].result, TargetResult::Failed);
    EXPECT_EQ(reports[1].result, TargetResult::Published);
    EXPECT_EQ(test::ReadText(dir / "orvane.targets"),
              "bad\tf1\t\t\t0\t0\nweb\tf1\t198.51.100.1\t\t0\t0\n");
}

}  // namespace
}  // namespace orvane::publish
