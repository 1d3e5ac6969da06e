// The NetworkManager links against a stand-in NetworkManager on a private bus of its own.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "dialup/linux/NetworkManagerLinks.h"
#include "support/RecordingReporter.h"
#include "support/TestFiles.h"

extern char** environ;

namespace orvane::dialup {
namespace {

namespace fs = std::filesystem;

using Clock = std::chrono::steady_clock;

// The event loop as the window runs it; the program is closing from `closeAfter` on, if given.
class ClosingWait final : public EventWait {
  public:
    explicit ClosingWait(std::chrono::milliseconds closeAfter)
        : closeAt_(closeAfter.count() < 0 ? Clock::time_point::max() : Clock::now() + closeAfter) {}
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(atMost);
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    bool StopRequested() const override { return Clock::now() >= closeAt_; }

  private:
    Clock::time_point closeAt_;
};

// The stand-in with one scenario, on its own bus; ended with its bus when this goes.
class StandIn {
  public:
    explicit StandIn(const std::string& scenario) {
        std::ofstream(folder_ / "scenario.json") << scenario;
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::string python = "/usr/bin/python3", script = STAND_IN_NETWORK_MANAGER,
                    scenarioFile = folder_ / "scenario.json", log = folder_ / "log";
        char* argv[] = {python.data(), script.data(), scenarioFile.data(), log.data(), nullptr};
        posix_spawn(&child_, argv[0], &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // It says "ADDRESS <address>" once it serves, or ends.
        FILE* output = fdopen(out[0], "r");
        char address[512] = {};
        if (fscanf(output, "ADDRESS %511s", address) == 1) address_ = address;
        fclose(output);
    }
    ~StandIn() {
        if (child_ > 0) {
            kill(child_, SIGTERM);
            waitpid(child_, nullptr, 0);
        }
    }
    const std::string& Address() const { return address_; }
    std::string Log() const { return test::ReadText(folder_ / "log"); }

  private:
    test::TempDir folder;
    fs::path folder_ = folder.folder();
    pid_t child_ = 0;
    std::string address_;
};

std::string LinksText(Links& links, EventWait& wait) {
    std::string text;
    for (const DialUpLink& link : links.ActiveLinks(wait)) {
        text += (text.empty() ? "" : "; ") + link.entryName + " " + link.address + " " +
                link.device + (link.address6.empty() ? "" : " " + link.address6);
    }
    return text;
}

enum class Action { List, Dial, HangUpFirst };

// The stand-in logs "list" for every read of ActiveConnections, where each listing starts: one
// listing is one enumeration, and a dial lists nothing.
// Saved: one connection whose settings are not what they should be, and Casa, dialled as `dial`
// with the members `how`.
std::string Casa(const std::string& dial, const std::string& more = "",
                 const std::string& how = "") {
    return "{" + more + R"("saved": [{"id": "x", "type": "gsm", "odd": true}, {"id": "Casa", )" +
           R"("type": "gsm", "address": "192.0.2.7", "dial": ")" + dial + "\"" + how + "}]}";
}

TEST(NetworkManagerService, ConnectionsDialsAndHangUps) {
    int argc = 1;
    char name[] = "orvane";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    using std::chrono::milliseconds;
    const struct {
        const char* name;
        std::string scenario;
        Action action;
        std::string entry;
        std::string links, log, message;
        milliseconds closeAfter{-1};
        DialOutcome outcome = DialOutcome::Failed;
        milliseconds within{8000};
    } cases[] = {
        {"activated dial-up connections with an IPv4 address count, in NetworkManager's order, "
         "with their first global IPv6 address",
         R"({"active": [{"id": "VPN", "type": "wireguard", "address": "10.8.0.2"},
           {"id": "Uff", "type": "vpn", "address": "10.9.0.2"},
           {"id": "PAN", "type": "bluetooth", "bluetooth": "panu", "address": "192.0.2.60"},
           {"id": "Mobile", "type": "gsm", "address": "203.0.113.45", "iface": "wwan0",
            "address6": ["fe80::1", "fd00::5", "ff02::1", "::ffff:192.0.2.9", "2001:db8::45"]},
           {"id": "DUN", "type": "bluetooth", "bluetooth": "dun", "address": "192.0.2.61",
            "iface": "ppp1", "address6": ["fe80::2", "fd12::3"]},
           {"id": "V6Only", "type": "gsm", "address6": ["2001:db8::46"]},
           {"id": "CDMA", "type": "cdma", "address": "192.0.2.62", "iface": "ppp2"},
           {"id": "DSL", "type": "pppoe", "address": "192.0.2.63", "iface": "ppp3"},
           {"id": "ADSL", "type": "adsl", "address": "192.0.2.64", "iface": "nas0"},
           {"id": "Activating", "type": "gsm", "state": 1, "address": "192.0.2.1"},
           {"id": "NoAddressYet", "type": "gsm"},
           {"id": "Deactivating", "type": "gsm", "state": 3, "address": "192.0.2.3"},
           {"id": "TypeOdd", "type": "gsm", "address": "192.0.2.1", "odd": "type"},
           {"id": "StateOdd", "type": "gsm", "address": "192.0.2.2", "odd": "state"},
           {"id": "AddressOdd", "type": "gsm", "address": "192.0.2.3", "odd": "address"},
           {"id": "NotAnAddress", "type": "gsm", "address": "192.0.2.256"}]})",
         Action::List, "",
         "Mobile 203.0.113.45 wwan0 2001:db8::45; DUN 192.0.2.61 ppp1; CDMA 192.0.2.62 ppp2; "
         "DSL 192.0.2.63 ppp3; ADSL 192.0.2.64 nas0",
         "list\n", ""},
        {"a dial brings the saved connection up", Casa("up"), Action::Dial, "Casa",
         "Casa 192.0.2.7 wwan1", "activate Casa\nlist\n", "", milliseconds(-1),
         DialOutcome::LinkUp},
        {"a failed dial says NetworkManager's reason, the device's before the connection's, "
         "though the connection is gone at once",
         Casa("fail", "", R"(, "reason": [3, 14])"), Action::Dial, "Casa", "",
         "activate Casa\nlist\n",
         "activating \"Casa\" failed: the PPP service failed (ppp-failed)\n"},
        {"a slow dial that fails says NetworkManager's reason while the connection lingers",
         Casa("fail", "", R"(, "after": 1000, "linger": 3000, "reason": [10, 0])"), Action::Dial,
         "Casa", "", "activate Casa\nlist\n",
         "activating \"Casa\" failed: the login was refused (login-failed)\n"},
        {"a dial that never finishes is given up and deactivated", Casa("never"), Action::Dial,
         "Casa", "", "activate Casa\ndeactivate Casa\nlist\n", "did not come up in time"},
        {"closing during a dial deactivates what it asked for", Casa("never"), Action::Dial, "Casa",
         "", "activate Casa\ndeactivate Casa\nlist\n", "", milliseconds(500)},
        {"closing while NetworkManager holds a call unanswered", Casa("up", R"("silent": true, )"),
         Action::Dial, "Casa", "", "list\n", "the program is closing", milliseconds(300),
         DialOutcome::Failed, milliseconds(900)},
        {"no device to dial on", Casa("nodevice"), Action::Dial, "Casa", "",
         "activate Casa\nlist\n", "No suitable device"},
        {"a user who may not bring links up activates nothing",
         Casa("up", R"("permission": "no", )"), Action::Dial, "Casa", "", "list\n",
         "may not bring network connections up"},
        {"an entry no saved connection is named", Casa("up"), Action::Dial, "Ca\xffsa", "",
         "list\n", "no saved connection is named"},
        {"an entry naming a connection that is not dial-up",
         R"({"saved": [{"id": "Ufficio", "type": "802-3-ethernet"}]})", Action::Dial, "Ufficio", "",
         "list\n", "is a 802-3-ethernet connection"},
        {"NetworkManager and its bus gone in the middle of a dial", Casa("vanish"), Action::Dial,
         "Casa", "", "activate Casa\n", "activating \"Casa\" failed"},
        {"hanging up ends the first connection only; names come whole",
         R"({"active": [{"id": "A", "type": "gsm", "address": "192.0.2.1", "iface": "ppp0"},
           {"id": ")" +
             std::string(300, 'B') +
             R"(", "type": "gsm", "address": "192.0.2.2", "iface": "ppp1"}]})",
         Action::HangUpFirst, "", std::string(300, 'B') + " 192.0.2.2 ppp1",
         "list\ndeactivate A\nlist\n", ""},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StandIn standIn(c.scenario);
        ASSERT_FALSE(standIn.Address().empty()) << "the stand-in did not start";
        const QString connectionName = QString("stand-in-%1").arg(++row);
        const auto started = Clock::now();
        {
            // The dial's limit is longer than the 2 s between confirming reads, so that a
            // NetworkManager gone without a word is seen by a read, not taken for a slow dial.
            NetworkManagerLinks links(
                QDBusConnection::connectToBus(QString::fromStdString(standIn.Address()),
                                              connectionName),
                {std::chrono::milliseconds(2600), std::chrono::seconds(2)});
            ClosingWait wait(c.closeAfter);
            const testing::RecordingReporter reported;
            if (c.action == Action::Dial) {
                EXPECT_EQ(links.Dial(c.entry, wait), c.outcome);
            } else if (c.action == Action::HangUpFirst) {
                const std::vector<DialUpLink> up = links.ActiveLinks(wait);
                ASSERT_FALSE(up.empty());
                EXPECT_TRUE(links.HangUp(up.front(), wait));
            }
            EXPECT_EQ(LinksText(links, wait), c.links);
            const std::string message = reported.Text();
            if (c.message.empty()) {
                EXPECT_EQ(message, "");
            } else {
                EXPECT_NE(message.find(c.message), std::string::npos) << message;
            }
        }
        QDBusConnection::disconnectFromBus(connectionName);
        EXPECT_LT(Clock::now() - started, c.within);
        EXPECT_EQ(standIn.Log(), c.log);
    }
}

// The system's links, NetworkManager's while it runs, call back once per burst of its signals
// when the connection that would be published changes or one comes up, and only then. One
// stand-in makes the changes in turn: the system bus's address is read once per process.
TEST(NetworkManagerService, ChangesOfTheDialUpConnectionOnlyAreHeard) {
    int argc = 1;
    char name[] = "orvane";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    const struct {
        const char* name;
        const char* id;  // the active connection whose address changes, or that comes up
        std::vector<std::string> addresses;  // in turn, 10 ms apart, 300 ms into its second
        int heard;
    } cases[] = {
        {"a dial-up connection up while none was", "Mobile", {"100.64.1.2"}, 1},
        {"its address replaced", "Mobile", {"100.64.9.9"}, 1},
        {"a burst of ten",
         "Mobile",
         {"100.64.1.10", "100.64.1.11", "100.64.1.12", "100.64.1.13", "100.64.1.14", "100.64.1.15",
          "100.64.1.16", "100.64.1.17", "100.64.1.18", "100.64.1.19"},
         1},
        {"another connection's address", "Casa", {"10.0.0.10"}, 0},
    };
    std::string changes;
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        for (std::size_t step = 0; step < cases[row].addresses.size(); ++step) {
            changes += std::string(changes.empty() ? "" : ", ") + R"({"type": "gsm", "after": )" +
                       std::to_string(300 + 1000 * row + 10 * step) + R"(, "id": ")" +
                       cases[row].id + R"(", "address": ")" + cases[row].addresses[step] + R"("})";
        }
    }
    const StandIn standIn(
        R"({"active": [{"id": "Casa", "type": "802-11-wireless", "address": "10.0.0.9"}],
            "changes": [)" +
        changes + "]}");
    ASSERT_FALSE(standIn.Address().empty()) << "the stand-in did not start";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", standIn.Address().c_str(), 1);
    int heard = 0;
    const std::unique_ptr<Links> links = MakeSystemLinks();
    ClosingWait wait(std::chrono::milliseconds(-1));
    links->WatchChanges(wait, [&] { ++heard; });
    auto end = Clock::now();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        heard = 0;
        for (end += std::chrono::seconds(1); Clock::now() < end;)
            wait.WaitForEvents(std::chrono::milliseconds(100));
        EXPECT_EQ(heard, c.heard);
    }
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

}  // namespace
}  // namespace orvane::dialup
