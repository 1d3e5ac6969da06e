// fOrvane driven with a fake window and clock: start-up, the countdown, the buttons, closing,
// the publish cycle and the event log.
#include "form/fOrvane.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string_view>

#include "form/TrayStatus.h"
#include "support/Fakes.h"

namespace orvane::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Property;
using ::testing::Throws;

class FormTest : public FormRig {
  protected:
    FormTest() : FormRig("ftp.example.net") {}

    std::string Label(Control c) const { return window.Caption(c); }
    fs::path Log() const { return dir / "orvane.log"; }
};

// ---- start-up ----

// What the other settings do shows in the countdown's and the cycle's tests.
TEST_F(FormTest, StartUpReadsTheDelayAndStartsTheTimer) {
    support.values["GENERAL/DELAY"] = "250";
    ASSERT_TRUE(logic.Load());
    EXPECT_EQ(logic.State().ConnectDelay, 250.0);
    EXPECT_EQ(window.timerInterval, 1000);
    EXPECT_TRUE(window.timerEnabled);
    EXPECT_EQ(support.startups, 1);
    EXPECT_EQ(support.centred, window.Handle());
}

struct StartUpFailure {
    const char* name;
    const char* key;    // SECTION/NAME
    const char* value;  // empty: the key removed
    ErrorNumber error;
    const char* laterKey = nullptr;  // a key read after it, made wrong as well
};

class StartUpFailureTest : public FormTest, public ::testing::WithParamInterface<StartUpFailure> {};

TEST_P(StartUpFailureTest, EndsBeforeTheWindowShowsNamingKeyAndFile) {
    const StartUpFailure& f = GetParam();
    if (*f.value)
        support.values[f.key] = f.value;
    else
        support.values.erase(f.key);
    if (f.laterKey) support.values[f.laterKey] = "x";
    EXPECT_FALSE(logic.Load());
    ASSERT_EQ(window.fatalErrors.size(), 1u);
    const std::string& message = window.fatalErrors[0];
    const std::string_view key(f.key);
    EXPECT_NE(message.find(std::to_string(static_cast<int>(f.error))), std::string::npos)
        << message;
    EXPECT_NE(message.find(key.substr(key.find('/') + 1)), std::string::npos) << message;
    EXPECT_NE(message.find(support.SettingsPath()), std::string::npos) << message;
    EXPECT_EQ(message.find("s3cret"), std::string::npos);
    EXPECT_EQ(reported.said, (decltype(reported.said){{Priority::Error, message}}));
    EXPECT_FALSE(window.timerEnabled);
    EXPECT_EQ(exits, std::vector<int>{1});
    EXPECT_EQ(support.shutdowns, 1) << "the library file must not stay behind";
}

// Each kind of problem is the settings loader's to find (its own table); here the program's
// start-up ends on the first, from either section, with the decoder's and the client's own.
const StartUpFailure kStartUpFailures[] = {
    {"NoDelay", "GENERAL/DELAY", "", ErrorNumber::TypeMismatch},
    {"FirstOfTwo", "GENERAL/FIRST", "0", ErrorNumber::InvalidProcedureCall, "GENERAL/DELAY"},
    {"HugeFirst", "GENERAL/FIRST", "2147483648", ErrorNumber::Overflow},
    {"FirstZero", "GENERAL/FIRST", "0", ErrorNumber::InvalidProcedureCall},
    {"EmptyServer", "FTP/SERVER", "", ErrorNumber::SubscriptOutOfRange},
    {"EmptyPassword", "FTP/PASSWORD", "", ErrorNumber::SubscriptOutOfRange},
    {"ProtocolTheClientLacks", "FTP/PROTOCOL", "sftp", ErrorNumber::TypeMismatch},
    {"UnknownTargetType", "TARGET:web/TYPE", "ddns", ErrorNumber::TypeMismatch},
};
INSTANTIATE_TEST_SUITE_P(Settings, StartUpFailureTest, ::testing::ValuesIn(kStartUpFailures),
                         [](const auto& test) { return std::string(test.param.name); });

// ---- the countdown ----

struct CountdownCase {
    const char* name;
    const char* interval;
    const char* first;
    const char* shownAtStart;
    std::vector<std::string> captions;  // Label7 after each tick
    std::vector<int> cycleTicks;        // the ticks (1-based) on which a cycle starts
};

class CountdownTest : public FormTest, public ::testing::WithParamInterface<CountdownCase> {};

TEST_P(CountdownTest, ShowsTheCountAndStartsCyclesAtZero) {
    const CountdownCase& c = GetParam();
    support.values["GENERAL/INTERVAL"] = c.interval;
    support.values["GENERAL/FIRST"] = c.first;
    ASSERT_TRUE(logic.Load());
    EXPECT_EQ(Label(Control::Label7), c.shownAtStart);
    std::vector<int> cycles;
    for (std::size_t tick = 1; tick <= c.captions.size(); ++tick) {
        const int before = uploader.uploads;
        logic.Tick();
        if (uploader.uploads != before) cycles.push_back(static_cast<int>(tick));
        // A cycle rewrites nothing of Label7; the tick's own caption is what shows.
        EXPECT_EQ(Label(Control::Label7), c.captions[tick - 1]) << "tick " << tick;
        EXPECT_EQ(std::to_string(window.told.secondsLeft), c.captions[tick - 1]) << "tick " << tick;
    }
    EXPECT_EQ(cycles, c.cycleTicks);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, CountdownTest,
    ::testing::Values(CountdownCase{"First5Interval10",
                                    "10",
                                    "5",
                                    "4",
                                    {"4", "3", "2", "1", "0", "9", "8", "7", "6", "5", "4", "3",
                                     "2", "1", "0", "9"},
                                    {5, 15}},
                      CountdownCase{"First1Interval1", "1", "1", "0", {"0", "0", "0"}, {1, 2, 3}},
                      CountdownCase{"First1", "3", "1", "0", {"0", "2", "1", "0"}, {1, 4}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(FormTest, TickBelowTheSmallestCountIsFatal) {
    ASSERT_TRUE(logic.Load());
    logic.MutableState().Countdown = INT32_MIN;
    logic.Tick();
    EXPECT_EQ(exits, std::vector<int>{1});
}

TEST_F(FormTest, ClicksHandledDuringTheTicksPumpDecideTheZeroTest) {
    ASSERT_TRUE(logic.Load());
    logic.MutableState().Countdown = 1;
    window.SetCaption(Control::Label2, "Online");
    window.SetCaption(Control::Label4, "203.0.113.45");
    window.onPump = [this] { logic.ClickSet(); };
    logic.Tick();  // reaches 0, but PBSet makes it 1 before the test
    EXPECT_EQ(uploader.uploads, 0);
    EXPECT_EQ(logic.State().Countdown, 1);
    EXPECT_EQ(Label(Control::Label2) + Label(Control::Label4), "") << "PBSet clears them";
    logic.Tick();
    EXPECT_EQ(uploader.uploads, 1);

    logic.MutableState().Countdown = 1;
    window.onPump = [this] { logic.ClickReset(); };
    logic.Tick();
    EXPECT_EQ(uploader.uploads, 1);
    EXPECT_EQ(logic.State().Countdown, 600);
}

// Pausing stops the timer and disables the other buttons. Ticks are posted, so one can arrive
// just after the click on Pausa: while paused it does nothing.
struct PausedTick {
    const char* name;
    int pauseClicks;
    int32_t countdown, after;
    const char* caption;
    int uploads;
};

class PausedTickTest : public FormTest, public ::testing::WithParamInterface<PausedTick> {};

TEST_P(PausedTickTest, OnlyARunningCountdownMoves) {
    const PausedTick& c = GetParam();
    ASSERT_TRUE(logic.Load());
    logic.MutableState().Countdown = c.countdown;
    for (int i = 0; i < c.pauseClicks; ++i) logic.ClickPause();
    const bool paused = c.pauseClicks % 2 == 1;
    EXPECT_EQ(window.timerEnabled, !paused);
    EXPECT_EQ(window.told.paused, paused);
    EXPECT_EQ(Label(Control::PBPause), paused ? "&Riprendi" : "&Pausa");
    EXPECT_EQ(window.IsEnabled(Control::PBSet), !paused);
    EXPECT_EQ(window.IsEnabled(Control::PBReset), !paused);
    logic.Tick();
    EXPECT_EQ(logic.State().Countdown, c.after);
    EXPECT_EQ(Label(Control::Label7), c.caption);
    EXPECT_EQ(uploader.uploads, c.uploads);
}

INSTANTIATE_TEST_SUITE_P(Ticks, PausedTickTest,
                         ::testing::Values(PausedTick{"PausedAtOne", 1, 1, 1, "9", 0},
                                           PausedTick{"Resumed", 2, 1, 600, "0", 1}),
                         [](const auto& test) { return std::string(test.param.name); });

// ---- what the views make of the status: the tray icon, the headless mode's line ----

struct StatusView {
    const char* name;
    Status::Kind kind;
    const char* address;
    int32_t error, secondsLeft;
    bool paused;
    const char* toolTip;
    TrayMark mark;
    const char* line;  // the headless mode's, at the journal's priority
    Priority priority;
    const char* unroutable = "";
    std::vector<TargetStatus> targets = {};
};

class StatusViewTest : public ::testing::TestWithParam<StatusView> {};

TEST_P(StatusViewTest, FollowTheStatusAndThePause) {
    const StatusView& c = GetParam();
    const Status status{c.kind,        c.address,    c.error,  c.paused,
                        c.secondsLeft, c.unroutable, c.targets};
    const TrayStatus tray = TrayStatusOf(status);
    EXPECT_EQ(tray.toolTip, c.toolTip);
    EXPECT_EQ(tray.mark, c.mark);
    EXPECT_EQ(tray.pauseEntry, c.paused ? "Riprendi" : "Pausa");
    EXPECT_EQ(tray.canPublish, !c.paused);
    EXPECT_EQ(StatusLine(status), c.line);
    EXPECT_EQ(PriorityOf(status), c.priority);
}

using Kind = Status::Kind;
const StatusView kStatusViews[] = {
    {"WithTargets",
     Kind::Online,
     "203.0.113.45",
     0,
     42,
     false,
     "Orvane\nStatus: Online\nIP: 203.0.113.45\ndyn: aggiornato\nhook: errore\nProssimo invio tra "
     "42 s",
     TrayMark::Published,
     "Online 203.0.113.45; dyn aggiornato, hook errore",
     Priority::Info,
     "",
     {{"dyn", "aggiornato"}, {"hook", "errore"}}},
    {"Online", Kind::Online, "203.0.113.45", 0, 42, false,
     "Orvane\nStatus: Online\nIP: 203.0.113.45\nProssimo invio tra 42 s", TrayMark::Published,
     "Online 203.0.113.45", Priority::Info},
    {"OnlineUnreachable", Kind::Online, "100.64.7.9", 0, 42, false,
     "Orvane\nStatus: Online\nIP: 100.64.7.9\nIndirizzo non pubblico: 100.64.7.9\nProssimo invio "
     "tra 42 s",
     TrayMark::Published, "Online 100.64.7.9 (non pubblico)", Priority::Info, "100.64.7.9"},
    {"PublicAddressOverAnUnreachableLink", Kind::Online, "81.2.69.160", 0, 42, false,
     "Orvane\nStatus: Online\nIP: 81.2.69.160\nIndirizzo non pubblico: 100.64.7.9\nProssimo invio "
     "tra 42 s",
     TrayMark::Published, "Online 81.2.69.160 (linea 100.64.7.9 non pubblica)", Priority::Info,
     "100.64.7.9"},
    {"Offline", Kind::Offline, "", 0, 599, false,
     "Orvane\nStatus: Offline\nProssimo invio tra 599 s", TrayMark::Problem, "Offline",
     Priority::Warning},
    {"Error", Kind::Error, "", 3, 15, false, "Orvane\nStatus: Errore #3\nProssimo invio tra 15 s",
     TrayMark::Problem, "Errore #3", Priority::Error},
    {"InCycle", Kind::Blank, "", 0, 0, false, "Orvane\nProssimo invio tra 0 s", TrayMark::None, "",
     Priority::Info},
    {"BelowZero", Kind::Blank, "", 0, -3, false, "Orvane\nNessun invio in programma",
     TrayMark::None, "", Priority::Info},
    {"PausedOverOnline", Kind::Online, "203.0.113.45", 0, 7, true,
     "Orvane\nStatus: Online\nIP: 203.0.113.45\nIn pausa", TrayMark::Paused, "Online 203.0.113.45",
     Priority::Info},
};
INSTANTIATE_TEST_SUITE_P(States, StatusViewTest, ::testing::ValuesIn(kStatusViews),
                         [](const auto& test) { return std::string(test.param.name); });

// ---- closing ----

TEST_F(FormTest, CloseFromTheControlMenuAsksAndNoKeepsEverything) {
    ASSERT_TRUE(logic.Load());
    window.answers = {false};
    EXPECT_FALSE(logic.CloseRequested(kCloseFromControlMenu));
    EXPECT_EQ(window.questions, std::vector<std::string>{"Confermi chiusura programma?"});
    EXPECT_EQ(support.shutdowns, 0);
    EXPECT_TRUE(window.timerEnabled);

    window.answers = {true};
    EXPECT_TRUE(logic.CloseRequested(kCloseFromControlMenu));
    EXPECT_EQ(support.shutdowns, 1);
}

TEST_F(FormTest, CloseBySystemDoesNotAskEvenWhilePaused) {
    ASSERT_TRUE(logic.Load());
    logic.ClickPause();
    EXPECT_TRUE(logic.CloseRequested(kCloseBySystem));
    EXPECT_TRUE(window.questions.empty());
    EXPECT_EQ(support.shutdowns, 1);
    EXPECT_TRUE(logic.CloseRequested(kCloseBySystem)) << "a second request changes nothing";
    EXPECT_EQ(support.shutdowns, 1);
}

TEST_F(FormTest, SignalWhileTheQuestionIsOpenClosesOnce) {
    ASSERT_TRUE(logic.Load());
    window.answers = {false};
    bool nestedResult = false;
    window.onQuestion = [&] { nestedResult = logic.CloseRequested(kCloseBySystem); };
    EXPECT_TRUE(logic.CloseRequested(kCloseFromControlMenu));
    EXPECT_TRUE(nestedResult);
    EXPECT_EQ(support.shutdowns, 1);
}

// ---- the event log ----

TEST_F(FormTest, FirstEventCreatesTheLogAndLaterOnesAppendOneLineEach) {
    ASSERT_TRUE(logic.Load());
    ASSERT_FALSE(fs::exists(Log()));
    logic.WriteLogLine(5);
    EXPECT_EQ(test::ReadText(Log()), "06/12/2026  01:47:36  Cambio IP\r\n");
    logic.WriteLogLine(1);
    // A line written as midnight passes takes its date and time from one reading of the clock.
    clock.wall.tm_hour = 23, clock.wall.tm_min = 59, clock.wall.tm_sec = 59;
    clock.nextWall = clock.wall;
    clock.nextWall->tm_mday = 7, clock.nextWall->tm_hour = 0, clock.nextWall->tm_min = 0;
    clock.nextWall->tm_sec = 0;
    logic.WriteLogLine(6);
    EXPECT_EQ(LogMessages(), (std::vector<std::string>{"Cambio IP", "Connessione Internet riuscita",
                                                       "Invio file fallito"}));
    EXPECT_TRUE(test::ReadText(Log()).ends_with("06/12/2026  23:59:59  Invio file fallito\r\n"));
}

TEST_F(FormTest, LogIndexOutsideTheTableIsASubscriptError) {
    ASSERT_TRUE(logic.Load());
    for (int index : {0, 8, -1})
        EXPECT_THAT(
            [&] { logic.WriteLogLine(index); },
            Throws<RuntimeError>(Property(&RuntimeError::number, ErrorNumber::SubscriptOutOfRange)))
            << index;
}

#ifndef _WIN32  // symbolic links need privileges there
// A log that cannot be written at all is a cycle's error (PublishCycle_test).
TEST_F(FormTest, LogIsNotWrittenThroughASymbolicLink) {
    ASSERT_TRUE(logic.Load());
    std::ofstream(dir / "elsewhere") << "keep";
    fs::create_symlink(dir / "elsewhere", Log());
    EXPECT_THROW(logic.WriteLogLine(5), RuntimeError);
    EXPECT_EQ(test::ReadText(dir / "elsewhere"), "keep");
}
#endif

}  // namespace
}  // namespace orvane::testing
