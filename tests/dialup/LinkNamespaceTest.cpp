// The pppd links on real tun links inside private network and process namespaces, with a
// stand-in pppd that brings links up, fails or hangs.
#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "dialup/Links.h"
#include "dialup/linux/PppdDialer.h"
#include "dialup/linux/PppdLinks.h"
#include "support/PrivateNamespaces.h"
#include "support/RecordingReporter.h"
#include "support/SleepingWait.h"
#include "support/TestFiles.h"

namespace orvane::dialup {
namespace {

namespace fs = std::filesystem;
using test::ExitCodeOf;
using test::InPrivateNamespaces;
using testing::SleepingWait;

// Records its arguments NUL-separated, then acts as FAKE_PPPD_MODE says: "fail" exits 1,
// "hang" never finishes, "up" brings up ppp0 and, like pppd with updetach, returns once its
// daemon half has written the pid files. On SIGTERM the daemon takes the link down.
constexpr const char* kStandInPppd = R"(#!/bin/sh
for arg in "$@"; do printf '%s\000' "$arg"; done > "$FAKE_PPPD_ARGV"
case "$FAKE_PPPD_MODE" in fail) exit 1 ;; hang) exec sleep 600 ;; esac
ip tuntap add dev ppp0 mode tun && ip addr add 198.51.100.23 peer 198.51.100.1 dev ppp0 &&
  ip link set ppp0 up || exit 2
"$0-daemon" "$4" </dev/null >/dev/null 2>&1 &
while [ ! -e "$FAKE_PPPD_RUN/ppp-$4.pid" ]; do sleep 0.01; done
)";
constexpr const char* kStandInDaemon = R"(#!/bin/sh
trap 'kill "$sleeper"; ip link del ppp0; rm -f "$FAKE_PPPD_RUN/ppp-$1.pid" "$FAKE_PPPD_RUN/ppp0.pid"; exit 0' TERM
printf '%s\n' $$ > "$FAKE_PPPD_RUN/ppp0.pid"
printf '%s\nppp0\n' $$ > "$FAKE_PPPD_RUN/.linkname"
mv "$FAKE_PPPD_RUN/.linkname" "$FAKE_PPPD_RUN/ppp-$1.pid"
sleep 600 & sleeper=$!
wait "$sleeper"
)";

// A tun link with an address (and its peer), up unless told otherwise.
void MakeTunLink(const std::string& name, const std::string& address, bool up = true) {
    const std::string command = "ip tuntap add dev " + name + " mode tun && ip addr add " +
                                address + " dev " + name +
                                (up ? " && ip link set " + name + " up" : "");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The stand-in pppd in its modes, with links using it and the scratch run directory.
std::unique_ptr<PppdLinks> StandInLinks(const fs::path& scratch, const std::string& mode,
                                        std::chrono::milliseconds limit = std::chrono::seconds(20),
                                        bool asRoot = true) {
    std::ofstream(scratch / "pppd") << kStandInPppd;
    std::ofstream(scratch / "pppd-daemon") << kStandInDaemon;
    for (const char* name : {"pppd", "pppd-daemon"})
        fs::permissions(scratch / name, fs::perms::owner_all);
    setenv("FAKE_PPPD_MODE", mode.c_str(), 1);
    setenv("FAKE_PPPD_RUN", (scratch / "run").c_str(), 1);
    setenv("FAKE_PPPD_ARGV", (scratch / "argv").c_str(), 1);
    return std::make_unique<PppdLinks>(
        PppdOptions{scratch / "run", scratch / "pppd", limit, asRoot});
}

// The arguments pppd was given, or nothing when it did not run.
std::vector<std::string> RecordedArguments(const fs::path& scratch) {
    std::ifstream file(scratch / "argv", std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(file, argument, '\0');) arguments.push_back(argument);
    fs::remove(scratch / "argv");
    return arguments;
}

// A link of this namespace by its interface index, as pppd's links name it.
DialUpLink LinkOn(const char* interfaceName) {
    return DialUpLink{std::to_string(if_nametoindex(interfaceName)), "", interfaceName, ""};
}

// A link counts when it is up with an IPv4 address and a live pppd owns it by its pid files;
// a tunnel nobody owns, one whose owner died, one that is down or has IPv6 only does not. They are
// listed by interface index with pppd's link name and a global IPv6 address where they have one.
TEST(PppdLinks, OnlyLinksALivePppdOwnsCountInIndexOrder) {
    InPrivateNamespaces([](const fs::path& scratch) {
        const fs::path run = scratch / "run";
        // This process, and an id higher than any this young namespace has handed out.
        const std::string live = std::to_string(getpid()), gone = "99999";
        const struct {
            const char* name;
            const char* address;
            bool up;
            std::string pidFile, pidText;
        } links[] = {{"tunfree", "192.0.2.50 peer 192.0.2.1", true, "", ""},
                     {"tunz", "203.0.113.45 peer 203.0.113.1", true, "tunz.pid", live + "\n"},
                     {"tundead", "192.0.2.51 peer 192.0.2.1", true, "tundead.pid", gone + "\n"},
                     {"tunbare", "2001:db8::1", true, "tunbare.pid", live + "\n"},
                     {"tundown", "192.0.2.52 peer 192.0.2.1", false, "tundown.pid", live + "\n"},
                     {"tuna", "192.0.2.10", true, "ppp-Ufficio.pid", live + "\ntuna\n"}};
        for (const auto& link : links) {
            MakeTunLink(link.name, link.address, link.up);
            if (!link.pidFile.empty()) std::ofstream(run / link.pidFile) << link.pidText;
        }
        // Of tunz's IPv6 addresses only the global one is published, not the unique local one.
        ASSERT_EQ(std::system("ip addr add fd00::45/64 dev tunz nodad && "
                              "ip addr add 2001:db8:45::1/64 dev tunz nodad"),
                  0);
        PppdLinks pppd(PppdOptions{run});
        SleepingWait wait;
        const std::vector<DialUpLink> up = pppd.ActiveLinks(wait);
        ASSERT_EQ(up.size(), 2u);
        EXPECT_EQ(up[0].entryName + " " + up[0].address + " " + up[0].device + " " + up[0].address6,
                  "tunz 203.0.113.45 tunz 2001:db8:45::1");
        EXPECT_EQ(up[0].identifier, LinkOn("tunz").identifier);
        EXPECT_EQ(up[1].entryName + " " + up[1].address + " " + up[1].address6,
                  "Ufficio 192.0.2.10 ");
    });
}

// A dial that brings a link up is up, and hanging up ends that link only.
TEST(PppdLinks, ADialThatBringsALinkUpIsUpAndHangingUpEndsOnlyThatLink) {
    InPrivateNamespaces([](const fs::path& scratch) {
        const auto links = StandInLinks(scratch, "up");
        SleepingWait wait;
        const std::string entry = "Ufficio \"casa\"; $(touch pwned) 'x' Citt\xc3\xa0";
        ASSERT_EQ(links->Dial(entry, wait), DialOutcome::LinkUp);
        uint32_t daemon = 0;
        std::ifstream(scratch / "run" / ("ppp-" + entry + ".pid")) >> daemon;
        const int daemonEnded = static_cast<int>(syscall(SYS_pidfd_open, daemon, 0));

        const std::vector<DialUpLink> up = links->ActiveLinks(wait);
        ASSERT_EQ(up.size(), 1u);
        EXPECT_EQ(up[0].entryName + " " + up[0].address, entry + " 198.51.100.23");
        // Someone else's tunnel beside it, with pid files that name nobody alive. A fault that
        // signalled init, the group or everyone would hit only this namespace.
        MakeTunLink("tun9", "192.0.2.40 peer 192.0.2.1");
        for (const char* garbage : {"", "garbage\n", "0\n", "1\n", "-1\n", "+12\n", " 12\n",
                                    "12x\n", "2147483648\n", "99999999999999999999999\n"}) {
            std::ofstream(scratch / "run" / "tun9.pid") << garbage;
            EXPECT_FALSE(links->HangUp(LinkOn("tun9"), wait)) << garbage;
        }
        for (const char* identifier : {"2147483632", "", "1x", "-1"}) {
            EXPECT_FALSE(links->HangUp(DialUpLink{identifier, entry, "ppp0", ""}, wait))
                << identifier;
        }
        EXPECT_TRUE(links->HangUp(up[0], wait));
        // The daemon takes its link down as it ends.
        pollfd ended{daemonEnded, POLLIN, 0};
        EXPECT_EQ(poll(&ended, 1, 5000), 1);
        EXPECT_TRUE(links->ActiveLinks(wait).empty());
        EXPECT_NE(if_nametoindex("tun9"), 0u) << "the tunnel was left alone";
    });
}

// The entry reaches pppd as one argument, exactly, whatever it holds; an empty entry or one
// holding NUL runs nothing, nor does a dial by anyone but root (pppd would refuse its
// linkname); a dial that runs too long is stopped. Needs no namespace: the stand-in only
// records, fails or hangs.
TEST(PppdLinks, TheEntryReachesPppdAsOneArgumentAndAHungDialIsStopped) {
    const test::TempDir folder;
    const fs::path scratch = folder.folder();
    const auto links = StandInLinks(scratch, "fail");
    SleepingWait wait;
    const std::string entries[] = {"a;b|c&d>e $(touch pwned)`id` *?",
                                   "--option",
                                   "riga\nnuova\ttab",
                                   "latin1 \xe0",
                                   std::string(256, 'w'),
                                   "",
                                   std::string("Uff\0icio", 8)};
    for (const std::string& entry : entries) {
        const bool refused = entry.empty() || entry.find('\0') != std::string::npos;
        EXPECT_EQ(links->Dial(entry, wait), DialOutcome::Failed);
        const std::vector<std::string> ran{"call", entry, "linkname", entry, "updetach"};
        EXPECT_EQ(RecordedArguments(scratch), refused ? std::vector<std::string>{} : ran) << entry;
    }
    EXPECT_FALSE(fs::exists(scratch / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
    const auto user = StandInLinks(scratch, "fail", std::chrono::seconds(20), false);
    const testing::RecordingReporter reported;
    for (int dial = 0; dial < 2; ++dial)
        EXPECT_EQ(user->Dial("Ufficio", wait), DialOutcome::Failed);
    EXPECT_EQ(RecordedArguments(scratch), std::vector<std::string>{}) << "pppd was run";
    const std::string said = reported.Text();
    EXPECT_NE(said.find("needs root"), std::string::npos) << said;
    EXPECT_EQ(said.find("needs root"), said.rfind("needs root")) << "said once: " << said;
    // pppd's own status comes through as it ended; one that hangs is stopped.
    EXPECT_EQ(
        linuxlink::RunPppd((scratch / "pppd").string(), "Ufficio", std::chrono::seconds(20), wait),
        1u);
    setenv("FAKE_PPPD_MODE", "hang", 1);
    EXPECT_EQ(linuxlink::RunPppd((scratch / "pppd").string(), "Ufficio",
                                 std::chrono::milliseconds(200), wait),
              linuxlink::kDialTimedOut);
}

// The event loop, as the program waits in it.
class LoopWait final : public EventWait {
  public:
    void WaitForEvents(std::chrono::milliseconds atMost) override {
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(atMost);
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    bool StopRequested() const override { return false; }
};

// Without NetworkManager the system's links call back once per burst of the kernel's
// announcements when pppd's link gets a new address or comes up, and for nothing else. The
// pid files are in a /run of the namespace's own.
TEST(PppdLinks, ChangesOfAPppdLinkOnlyAreHeard) {
    InPrivateNamespaces([](const fs::path&) {
        ASSERT_EQ(unshare(CLONE_NEWNS), 0);
        ASSERT_EQ(mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
        ASSERT_EQ(mount("run", "/run", "tmpfs", 0, nullptr), 0);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/run/no-bus-here", 1);
        int argc = 1;
        char name[] = "orvane";
        char* argv[] = {name, nullptr};
        const QCoreApplication application(argc, argv);
        MakeTunLink("tunp", "100.64.0.5 peer 100.64.0.1");
        std::ofstream("/run/tunp.pid") << getpid() << "\n";
        MakeTunLink("tunvpn", "10.8.0.2 peer 10.8.0.1");
        const std::string peer = " peer 100.64.0.1 dev tunp";
        const struct {
            const char* name;
            std::string command;
            int heard;
        } cases[] = {
            {"the address replaced",
             "ip addr del 100.64.0.5" + peer + " && ip addr add 100.64.0.6" + peer, 1},
            {"a burst of ten",
             "a=6; for i in $(seq 10 19); do ip addr del 100.64.0.$a" + peer +
                 " && ip addr add 100.64.0.$i" + peer + " && a=$i; done",
             1},
            {"down, then up with a new address",
             "ip link set tunp down && ip addr del 100.64.0.19" + peer +
                 " && ip addr add 100.64.0.30" + peer + " && ip link set tunp up",
             1},
            {"only down", "ip link set tunp down", 0},
            {"another interface's address, down and up",
             "ip addr add 10.8.0.3 dev tunvpn && ip link set tunvpn down && ip link set tunvpn up",
             0},
        };
        const std::unique_ptr<Links> links = MakeSystemLinks();
        LoopWait wait;
        int heard = 0;
        links->WatchChanges(wait, [&] { ++heard; });
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            heard = 0;
            ASSERT_EQ(std::system(c.command.c_str()), 0) << c.command;
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
            while (std::chrono::steady_clock::now() < end)
                wait.WaitForEvents(std::chrono::milliseconds(100));
            EXPECT_EQ(heard, c.heard);
        }
    });
}

}  // namespace
}  // namespace orvane::dialup
