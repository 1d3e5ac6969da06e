// The publish cycle with fake links and fake uploads: what the window shows and is told, what
// the log and the reporter get, what is hung up and uploaded, and what is left on disk, for each
// outcome.
#include <gtest/gtest.h>

#include "form/fOrvane.h"
#include "runtime/RegionalText.h"
#include "support/Fakes.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;

class CycleTest : public FormRig {
  protected:
    CycleTest() : FormRig("127.0.0.1:2121") { EXPECT_TRUE(logic.Load()); }

    // The captions, which must say what the window was told.
    std::string Status() const {
        EXPECT_EQ(window.Caption(Control::Label2), StatusCaption(window.told));
        return window.Caption(Control::Label2);
    }
    std::string Address() const {
        EXPECT_EQ(window.Caption(Control::Label4), window.told.address);
        return window.Caption(Control::Label4);
    }
    bool NothingLeft() const { return !fs::exists(dir / "ip.txt"); }
};

TEST_F(CycleTest, ConnectionUpPublishesTheFirstLinksAddressFile) {
    links.links.push_back(Link("Ufficio", "198.51.100.2"));
    logic.PublishNow();
    EXPECT_EQ(links.listings, 1) << "the links are listed once";
    EXPECT_EQ(Status(), "Online");
    EXPECT_EQ(Address(), "203.0.113.45");
    EXPECT_EQ(uploader.connectedTo, "127.0.0.1:2121 orvane/s3cret");
    EXPECT_EQ(uploader.remoteFile, "pub/ip.txt");
    // The date and time in the system's forms (the C locale's in the test with real servers).
    EXPECT_EQ(uploader.uploaded, "Date: " + ShortDateText(clock.wall) + "   Time: " +
                                     LongTimeText(clock.wall) + "\r\n\r\nIP:   203.0.113.45\r\n");
    EXPECT_EQ(uploader.open, 0) << "the session is closed";
    EXPECT_TRUE(links.dialled.empty());
    EXPECT_EQ(LogMessages(), std::vector<std::string>{"Cambio IP"});
    EXPECT_TRUE(NothingLeft());
}

// An address nobody outside can reach is still published, said once per address as a warning,
// and shown while the link has it.
TEST_F(CycleTest, OnlyAChangedAddressIsLoggedAndAnUnreachableOneSaidOnce) {
    logic.PublishNow();
    logic.PublishNow();
    links.links[0].address = "100.64.7.9";
    logic.PublishNow();
    EXPECT_EQ(window.told.unroutable, "100.64.7.9");
    links.links[0].address = "81.2.69.160";
    logic.PublishNow();
    EXPECT_EQ(window.told.unroutable, "");
    EXPECT_EQ(Address(), "81.2.69.160");
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"Cambio IP", "Cambio IP", "Cambio IP"}));
    ASSERT_EQ(reported.said.size(), 2u) << reported.Text();
    for (const auto& [priority, text] : reported.said) EXPECT_EQ(priority, Priority::Warning);
    EXPECT_NE(reported.said[0].second.find("203.0.113.45"), std::string::npos);
    EXPECT_NE(reported.said[1].second.find("100.64.7.9"), std::string::npos);
}

// With a public-address service set, its answer is what the file carries and the window shows.
TEST_F(CycleTest, PublicAddressServiceAnswerIsPublished) {
    logic.MutableState().CheckIp = "https://checkip.example.net/";
    uploader.publicAddress = std::string("81.2.69.160");
    logic.PublishNow();
    EXPECT_EQ(uploader.askedFor, "https://checkip.example.net/");
    EXPECT_TRUE(uploader.uploaded.ends_with("IP:   81.2.69.160\r\n")) << uploader.uploaded;
    EXPECT_EQ(Status(), "Online");
    EXPECT_EQ(Address(), "81.2.69.160");
    EXPECT_EQ(window.told.unroutable, "203.0.113.45") << "the link's own is still said";
}

TEST_F(CycleTest, NoConnectionDialsAndGoesOnWithTheNewOne) {
    links.links.clear();
    links.dialBringsUp = Link("Casa", "192.0.2.10");
    logic.PublishNow();
    EXPECT_EQ(links.dialled, std::vector<std::string>{"Casa"});
    EXPECT_EQ(links.listings, 2) << "listed again after the dial";
    EXPECT_EQ(Status(), "Online");
    EXPECT_EQ(Address(), "192.0.2.10");
    EXPECT_EQ(LogMessages(),
              (std::vector<std::string>{"Connessione Internet riuscita", "Cambio IP"}));
}

// Cycles that publish nothing: a failed dial (tried again after the interval; so is a dial said
// to succeed that leaves no link listed), a first connection whose address cannot be read yet
// (left to come up: publishing an empty address would overwrite the good one) and the FTP
// failures, both tried again in 15 s.
struct Unpublished {
    const char* name;
    std::optional<ftp::UploadStep> failsAt;
    const char* status;
    const char* logged;
    bool hangsUp;
    const char* firstAddress = "203.0.113.45";  // none: no connection, and the dial fails
    bool dialSaysUp = false;                    // ... though the dial says it brought one up
    bool askFails = false;  // the public-address service is set and gives no address
};

class UnpublishedTest : public CycleTest, public ::testing::WithParamInterface<Unpublished> {};

TEST_P(UnpublishedTest, ShowsLogsRetriesAndLeavesNoFile) {
    const Unpublished& f = GetParam();
    if (f.firstAddress)
        links.links = {Link("Casa", f.firstAddress), Link("Ufficio", "198.51.100.2")};
    else
        links.links.clear();
    if (f.dialSaysUp) links.dialSays = dialup::DialOutcome::LinkUp;
    uploader.failsAt = f.failsAt;
    if (f.askFails) logic.MutableState().CheckIp = "https://checkip.example.net/";
    logic.MutableState().Countdown = 600;
    logic.PublishNow();
    EXPECT_EQ(Status(), f.status);
    EXPECT_EQ(Address(), "");
    EXPECT_EQ(logic.State().Countdown, f.firstAddress ? 15 : 600);
    EXPECT_EQ(LogMessages(), std::vector<std::string>{f.logged});
    // The client's own account of an FTP failure goes to the reporter as an error; beside it
    // only the warning that the documentation address is unreachable.
    EXPECT_EQ(reported.At(Priority::Error), f.failsAt || f.askFails
                                                ? std::vector<std::string>{"failed"}
                                                : std::vector<std::string>{});
    EXPECT_EQ(reported.said.size(),
              reported.At(Priority::Error).size() + reported.At(Priority::Warning).size());
    if (f.hangsUp)
        EXPECT_EQ(links.hungUp, std::vector<std::string>{"id:Casa"}) << "only the first link";
    else
        EXPECT_TRUE(links.hungUp.empty());
    EXPECT_LE(links.dialled.size(), 1u) << "one dial at most";
    EXPECT_EQ(logic.State().LastAddress, "");
    EXPECT_EQ(uploader.open, 0) << "an open session is closed";
    EXPECT_EQ(uploader.opens, f.firstAddress && *f.firstAddress && !f.askFails ? 1 : 0)
        << "no address: the server is left alone";
    EXPECT_TRUE(NothingLeft());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, UnpublishedTest,
    ::testing::Values(
        Unpublished{"NoConnection", std::nullopt, "Offline", "Connessione Internet fallita", false,
                    nullptr},
        Unpublished{"DialSaysUpButNoLink", std::nullopt, "Offline", "Connessione Internet fallita",
                    false, nullptr, true},
        Unpublished{"NoAddressYet", std::nullopt, "Offline", "Connessione Internet fallita", false,
                    ""},
        Unpublished{"InternetOpen", ftp::UploadStep::OpenInternet, "Errore #1",
                    "Apertura sessione fallita", true},
        Unpublished{"ServerConnect", ftp::UploadStep::Login, "Errore #2", "Apertura server fallita",
                    true},
        Unpublished{"Upload", ftp::UploadStep::Store, "Errore #3", "Invio file fallito", false},
        Unpublished{"PublicAddressUnknown", std::nullopt, "Errore #4",
                    "Indirizzo pubblico non disponibile", false, "203.0.113.45", false, true}),
    [](const auto& test) { return std::string(test.param.name); });

// Errors inside a cycle end that cycle only: shown, no file left, and the next cycle works.
struct CycleError {
    const char* name;
    const char* brokenKey;  // a setting emptied, or a file name made a directory
    bool isFile;
    const char* status;  // the start of it: file errors differ between systems (70 or 75)
    int uploads;
};

class CycleErrorTest : public CycleTest, public ::testing::WithParamInterface<CycleError> {};

TEST_P(CycleErrorTest, EndsOnlyThatCycle) {
    const CycleError& e = GetParam();
    const std::string saved = support.values[e.brokenKey];
    if (e.isFile)
        fs::create_directory(dir / e.brokenKey);
    else
        support.values[e.brokenKey] = "";
    logic.PublishNow();
    EXPECT_EQ(Status().rfind(e.status, 0), 0u) << Status();
    EXPECT_EQ(uploader.uploads, e.uploads);
    EXPECT_EQ(uploader.open, 0) << "the session is closed";
    EXPECT_TRUE(window.fatalErrors.empty());
    EXPECT_TRUE(exits.empty());
    for (const auto& line : LogMessages()) EXPECT_EQ(line.find("s3cret"), std::string::npos);
    const std::vector<std::string> errors = reported.At(Priority::Error);
    ASSERT_EQ(errors.size(), 1u) << reported.Text();
    EXPECT_EQ(errors[0].rfind("Errore di run-time " + Status().substr(8), 0), 0u);

    if (e.isFile)
        fs::remove(dir / e.brokenKey);
    else
        support.values[e.brokenKey] = saved;
    logic.PublishNow();
    EXPECT_EQ(Status(), "Online");
    EXPECT_TRUE(NothingLeft());
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CycleErrorTest,
    ::testing::Values(CycleError{"LogUnwritable", "orvane.log", true, "Errore #7", 1},
                      CycleError{"PublishedFileUnwritable", "ip.txt", true, "Errore #7", 0},
                      CycleError{"PasswordNoLongerDecodes", "FTP/PASSWORD", false, "Errore #9", 0}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(CycleTest, DelayWaitsOnTheMonotonicClockAndTicksGoOn) {
    logic.MutableState().ConnectDelay = 3500;
    logic.MutableState().Countdown = 600;
    const auto start = clock.now;
    logic.PublishNow();
    EXPECT_GE(clock.now - start, std::chrono::milliseconds(3500));
    EXPECT_LE(clock.now - start, std::chrono::milliseconds(4500));
    EXPECT_EQ(logic.State().Countdown, 597) << "three ticks were handled during the wait";
    EXPECT_EQ(uploader.uploads, 1);
}

TEST_F(CycleTest, TickReachingZeroDuringACycleQueuesOneCycleInsteadOfNesting) {
    // The wait outlasts the interval: ticks during it reach zero twice.
    logic.MutableState().Interval = 2;
    logic.MutableState().ConnectDelay = 4500;
    // Ticks stop once the first upload is done, so only the first wait can queue cycles.
    window.onTickDue = [&] {
        if (uploader.uploads == 0) logic.Tick();
    };
    logic.MutableState().Countdown = 1;
    logic.Tick();
    EXPECT_EQ(uploader.uploads, 2) << "two zeros during the first wait give one pending cycle";
    EXPECT_FALSE(logic.InCycle());
}

// A change heard from the link service starts a cycle at once and restarts the countdown; more
// changes while a cycle runs give one more cycle after it (none during the dial, whose cycle
// publishes what it brings up); while paused, the cycle comes at the first tick after resuming.
struct LinkChange {
    const char* name;
    bool paused;
    int duringCycle;  // further changes heard while the cycle runs
    bool dialFirst;   // no link is up: they are heard during the dial that brings one up
    int uploads;      // right away, and after resuming and one tick
};

class LinkChangeTest : public CycleTest, public ::testing::WithParamInterface<LinkChange> {};

TEST_P(LinkChangeTest, StartsOneCycleAndQueuesAtMostOneMore) {
    const LinkChange& c = GetParam();
    ASSERT_TRUE(links.changed) << "the program watches the links once it has started";
    logic.MutableState().Countdown = 300;
    const auto hearMore = [&] {
        for (int i = 0; i < c.duringCycle; ++i) links.changed();
    };
    if (c.dialFirst) {
        links.links.clear();
        links.dialBringsUp = Link("Casa", "198.51.100.9");
        links.onDial = hearMore;
    } else {
        window.onPump = hearMore;
    }
    if (c.paused) logic.ClickPause();
    links.changed();
    EXPECT_EQ(uploader.uploads, c.paused ? 0 : c.uploads);
    EXPECT_EQ(links.dialled.size(), c.dialFirst ? 1u : 0u);
    EXPECT_FALSE(logic.InCycle());
    if (!c.paused) {
        EXPECT_EQ(logic.State().Countdown, 600) << "restarted as a tick at zero restarts it";
        return;
    }
    EXPECT_EQ(logic.State().Countdown, 300) << "nothing moves while paused";
    logic.ClickPause();
    logic.Tick();
    EXPECT_EQ(uploader.uploads, c.uploads);
}

INSTANTIATE_TEST_SUITE_P(Changes, LinkChangeTest,
                         ::testing::Values(LinkChange{"AddressReplaced", false, 0, false, 1},
                                           LinkChange{"TenMoreDuringTheCycle", false, 10, false, 2},
                                           LinkChange{"DuringTheDialThatBringsItUp", false, 3, true,
                                                      1},
                                           LinkChange{"WhilePaused", true, 0, false, 1}),
                         [](const auto& test) { return std::string(test.param.name); });

// A failed dial is not followed by another before 15 s have passed: not by the ticks during a dial
// slower than the interval, nor by a short interval, nor by "Pubblica" pressed at once (that
// cycle shows "Offline" and comes again once it may dial). Every dial's failure is logged once.
struct DialRetry {
    const char* name;
    int32_t interval;
    std::chrono::seconds dialTakes;
    int publishNowAfter;  // seconds after the failure, or -1
    std::chrono::seconds nextDialBy;
};

class DialRetryTest : public CycleTest, public ::testing::WithParamInterface<DialRetry> {};

TEST_P(DialRetryTest, NextDialNotBeforeFifteenSeconds) {
    const DialRetry& r = GetParam();
    links.links.clear();
    links.dialTakes = r.dialTakes;
    std::vector<std::chrono::steady_clock::time_point> dials;
    links.onDial = [&] {
        dials.push_back(clock.now);
        // Dials back to back would go on for ever: ticks stop at the third.
        if (dials.size() == 3) window.onTickDue = nullptr;
    };
    logic.MutableState().Interval = r.interval;
    logic.MutableState().Countdown = 1;
    logic.Tick();
    ASSERT_EQ(dials.size(), 1u) << "no dial right after the first";
    EXPECT_EQ(Status(), "Offline");
    const auto failed = clock.now;
    for (int second = 0; dials.size() < 2 && second < 40; ++second) {
        if (second == r.publishNowAfter) logic.ClickSet();
        window.WaitForEvents(std::chrono::seconds(1));
    }
    ASSERT_EQ(dials.size(), 2u);
    EXPECT_GE(dials[1] - failed, std::chrono::seconds(15));
    EXPECT_LE(dials[1] - failed, r.nextDialBy);
    EXPECT_EQ(LogMessages(), std::vector<std::string>(2, "Connessione Internet fallita"));
}

INSTANTIATE_TEST_SUITE_P(Dials, DialRetryTest,
                         ::testing::Values(DialRetry{"SlowerThanTheInterval", 10,
                                                     std::chrono::seconds(30), -1,
                                                     std::chrono::seconds(16)},
                                           DialRetry{"ShortInterval", 5, std::chrono::seconds(0),
                                                     -1, std::chrono::seconds(16)},
                                           DialRetry{"PubblicaAtOnce", 600, std::chrono::seconds(0),
                                                     2, std::chrono::seconds(17)}),
                         [](const auto& test) { return std::string(test.param.name); });

// A close during the cycle's wait stops the cycle; the unload waits for it, except when the
// session ends: the system may end the process as soon as it is told, so the unload runs at once.
class CloseDuringCycleTest : public CycleTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CloseDuringCycleTest, StopsTheCycleAndUnloadsOnce) {
    const bool sessionEnds = GetParam();
    logic.MutableState().ConnectDelay = 5000;
    window.answers = {true};
    bool closedNow = false;
    int shutdownsAtClose = -1;
    window.onPump = [&] {
        window.onPump = [&] {
            if (sessionEnds)
                logic.SessionEnding();
            else
                closedNow = logic.CloseRequested(kCloseFromControlMenu);
            shutdownsAtClose = support.shutdowns;
        };
    };
    logic.PublishNow();
    EXPECT_FALSE(closedNow) << "the window stays until the cycle has stopped";
    EXPECT_EQ(shutdownsAtClose, sessionEnds ? 1 : 0);
    EXPECT_EQ(uploader.uploads, 0);
    EXPECT_EQ(uploader.opens, 0);
    EXPECT_EQ(window.closeRequests, 1);
    EXPECT_TRUE(logic.CloseRequested(kCloseBySystem));
    EXPECT_EQ(support.shutdowns, 1);
    EXPECT_TRUE(NothingLeft());
}

INSTANTIATE_TEST_SUITE_P(Closes, CloseDuringCycleTest, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "SessionEnds" : "Yes"; });

}  // namespace
}  // namespace orvane::testing

namespace orvane::testing {
namespace {

// The publication targets in a cycle, each answering as its row says: after the FTP file (or
// without one), before the hang-up a failed FTP session causes, none holding another back.
struct WithTargets {
    const char* name;
    std::optional<ftp::UploadStep> ftpFailsAt;
    bool withoutFile;                       // [FTP] SERVER empty
    std::vector<publish::Verdict> answers;  // of the targets t1, t2, t3
    const char* line;                       // the status line after the first cycle
    std::vector<std::string> logged;        // after two cycles, the second with a new address
    int attempts;                           // over both cycles
};

class TargetCycleTest : public CycleTest, public ::testing::WithParamInterface<WithTargets> {
  protected:
    class Answering final : public publish::Target {
      public:
        Answering(TargetCycleTest& test, publish::Verdict verdict)
            : test_(test), verdict_(verdict) {}
        publish::Outcome Publish(const publish::PublishedAddresses& now,
                                 const publish::PublishedAddresses&, EventWait&) override {
            ++test_.attempts;
            EXPECT_EQ(now.entryName, "Casa");
            test_.hangUpsBefore.push_back(test_.links.hungUp.size());
            return {verdict_, "the cause", std::chrono::minutes(30)};
        }

      private:
        TargetCycleTest& test_;
        publish::Verdict verdict_;
    };

    int attempts = 0;
    std::vector<std::size_t> hangUpsBefore;  // at each attempt
};

TEST_P(TargetCycleTest, PublishesToEachTargetOnItsOwn) {
    const WithTargets& w = GetParam();
    for (std::size_t i = 0; i < w.answers.size(); ++i) {
        const std::string section = "TARGET:t" + std::to_string(i + 1);
        support.values[section + "/TYPE"] = "command";
        support.values[section + "/RUN"] = "/usr/local/bin/publish";
    }
    if (w.withoutFile)
        std::erase_if(support.values,
                      [](const auto& value) { return value.first.starts_with("FTP/"); });
    uploader.failsAt = w.ftpFailsAt;
    logic.SetTargetMaker([&](const publish::TargetSettings& settings) {
        const auto index = static_cast<std::size_t>(settings.name.back() - '1');
        return std::make_unique<Answering>(*this, w.answers.at(index));
    });
    logic.PublishNow();
    EXPECT_EQ(StatusLine(window.told), w.line);
    EXPECT_EQ(uploader.opens, w.withoutFile ? 0 : 1);
    const bool hangsUp = w.ftpFailsAt && *w.ftpFailsAt != ftp::UploadStep::Store;
    EXPECT_EQ(links.hungUp.size(), hangsUp ? 1u : 0u) << "a target never hangs up";
    EXPECT_EQ(hangUpsBefore, std::vector<std::size_t>(hangUpsBefore.size(), 0))
        << "the targets run before the hang-up";
    links.links[0].address = "203.0.113.46";
    logic.PublishNow();
    EXPECT_EQ(LogMessages(), w.logged);
    EXPECT_EQ(attempts, w.attempts);
    // Each target's line in the log has its cause on the reporter.
    const auto targetLines = std::count_if(w.logged.begin(), w.logged.end(), [](const auto& line) {
        return line.starts_with("Aggiornamento");
    });
    const auto causes =
        std::count_if(reported.said.begin(), reported.said.end(), [](const auto& said) {
            return said.second == "t1: the cause" || said.second == "t2: the cause";
        });
    EXPECT_EQ(causes, targetLines);
}

using enum publish::Verdict;
INSTANTIATE_TEST_SUITE_P(
    Targets, TargetCycleTest,
    ::testing::Values(
        WithTargets{
            "OneFailingHoldsNoneBack",
            std::nullopt,
            false,
            {Accepted, Failed, Accepted},
            "Online 203.0.113.45 (non pubblico); t1 aggiornato, t2 errore, t3 aggiornato",
            {"Cambio IP", "Aggiornamento t2 fallito", "Cambio IP", "Aggiornamento t2 fallito"},
            6},
        WithTargets{"BeforeTheHangUpOfAFailedSession",
                    ftp::UploadStep::Login,
                    false,
                    {Accepted},
                    "Errore #2; t1 aggiornato",
                    {"Apertura server fallita", "Apertura server fallita"},
                    2},
        WithTargets{"WithoutTheFile",
                    std::nullopt,
                    true,
                    {Accepted, Accepted},
                    "Online 203.0.113.45 (non pubblico); t1 aggiornato, t2 aggiornato",
                    {"Cambio IP", "Cambio IP"},
                    4},
        WithTargets{"AStopIsLoggedOnceAndHolds",
                    std::nullopt,
                    false,
                    {Stopped, RetryLater},
                    "Online 203.0.113.45 (non pubblico); t1 fermato, t2 in attesa",
                    {"Cambio IP", "Aggiornamento t1 sospeso fino al cambio delle impostazioni",
                     "Aggiornamento t2 rinviato su richiesta del servizio", "Cambio IP"},
                    2}),
    [](const auto& test) { return std::string(test.param.name); });

// A cycle after "Pubblica" sends to every target, the address changed or not.
TEST_F(CycleTest, PubblicaPublishesToEveryTargetChangedOrNot) {
    support.values["TARGET:t1/TYPE"] = "command";
    support.values["TARGET:t1/RUN"] = "/usr/local/bin/publish";
    int attempts = 0;
    struct Counting final : publish::Target {
        explicit Counting(int& count) : count_(count) {}
        publish::Outcome Publish(const publish::PublishedAddresses&,
                                 const publish::PublishedAddresses&, EventWait&) override {
            ++count_;
            return {publish::Verdict::Accepted, {}, {}};
        }
        int& count_;
    };
    logic.SetTargetMaker([&](const auto&) { return std::make_unique<Counting>(attempts); });
    logic.PublishNow();
    logic.PublishNow();
    EXPECT_EQ(attempts, 1) << "the same address is not sent again";
    logic.ClickSet();
    logic.PublishNow();
    EXPECT_EQ(attempts, 2);
}

}  // namespace
}  // namespace orvane::testing
