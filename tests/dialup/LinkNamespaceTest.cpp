// The Linux link service on real tun links inside private network and process namespaces, with a
// stand-in pppd that brings links up, fails or hangs.
#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "dialup/linux/LinuxRemoteAccess.h"
#include "dialup/linux/PppdDialer.h"
#include "dialup/linux/PppdLinks.h"
#include "dialup/mRas.h"
#include "support/RecordingReporter.h"
#include "support/TestFiles.h"

namespace orvane::dialup {
namespace {

namespace fs = std::filesystem;
using mRas::ConnectionTable;

constexpr int kCannotIsolate = 77;

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

int ExitCodeOf(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// A tun link with an address (and its peer), up unless told otherwise.
void MakeTunLink(const std::string& name, const std::string& address, bool up = true) {
    const std::string command = "ip tuntap add dev " + name + " mode tun && ip addr add " +
                                address + " dev " + name +
                                (up ? " && ip link set " + name + " up" : "");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Runs `body` in its own network and process namespaces with a scratch directory ("run"
// inside it stands for /run). Its parent is the namespace's init: when init ends, every
// daemon the body left behind is killed with it.
void InPrivateNamespaces(const std::function<void(const fs::path&)>& body) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make network namespaces and tun links";
    if (access("/dev/net/tun", R_OK | W_OK) != 0) GTEST_SKIP() << "needs /dev/net/tun";
    const test::TempDir folder;
    const fs::path scratch = folder.folder();
    fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNET | CLONE_NEWPID) != 0) _exit(kCannotIsolate);
        const pid_t init = fork();
        if (init != 0) _exit(ExitCodeOf(init));
        const pid_t testBody = fork();
        if (testBody == 0) {
            fs::create_directories(scratch / "run");
            body(scratch);
            fflush(stdout);
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        _exit(ExitCodeOf(testBody));
    }
    const int code = ExitCodeOf(child);
    if (code == kCannotIsolate) GTEST_SKIP() << "cannot make private namespaces here";
    EXPECT_EQ(code, 0) << "see the failures above";
}

// The pppd service over a run directory, and the records over it.
struct PppdRig {
    explicit PppdRig(PppdOptions options) : pppd(std::move(options)), service(pppd) {}
    PppdLinks pppd;
    LinuxRemoteAccess service;
};

// The stand-in pppd in its modes, with a service using it and the scratch run directory.
std::unique_ptr<PppdRig> StandInService(const fs::path& scratch, const std::string& mode,
                                        std::chrono::milliseconds limit = std::chrono::seconds(20),
                                        bool asRoot = true) {
    std::ofstream(scratch / "pppd") << kStandInPppd;
    std::ofstream(scratch / "pppd-daemon") << kStandInDaemon;
    for (const char* name : {"pppd", "pppd-daemon"})
        fs::permissions(scratch / name, fs::perms::owner_all);
    setenv("FAKE_PPPD_MODE", mode.c_str(), 1);
    setenv("FAKE_PPPD_RUN", (scratch / "run").c_str(), 1);
    setenv("FAKE_PPPD_ARGV", (scratch / "argv").c_str(), 1);
    return std::make_unique<PppdRig>(PppdOptions{scratch / "run", scratch / "pppd", limit, asRoot});
}

// The arguments pppd was given, or nothing when it did not run.
std::vector<std::string> RecordedArguments(const fs::path& scratch) {
    std::ifstream file(scratch / "argv", std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(file, argument, '\0');) arguments.push_back(argument);
    fs::remove(scratch / "argv");
    return arguments;
}

RASPPPIP ProjectionOf(RemoteAccess& service, HRASCONN connection, uint32_t* result) {
    RASPPPIP projection{sizeof(RASPPPIP), 0, "unchanged", "unchanged"};
    uint32_t size = sizeof projection;
    *result = service.RasGetProjectionInfoA(connection, RASP_PppIp, &projection, &size);
    return projection;
}

// A link counts when it is up with an IPv4 address and a live pppd owns it by its pid files;
// a tunnel nobody owns, one whose owner died, one that is down or has IPv6 only does not. They are
// listed by interface index with pppd's link name.
TEST(LinkService, OnlyLinksALivePppdOwnsCountInIndexOrder) {
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
        PppdLinks pppd(PppdOptions{run});
        LinuxRemoteAccess service(pppd);
        ConnectionTable table;
        ASSERT_EQ(mRas::EnumerateConnections(service, table), 2);
        const mRas::ConnectionInfo& entry = table.At(1);
        EXPECT_EQ(entry.EntryName + " " + entry.Address + " " + entry.szDeviceName,
                  "tunz 203.0.113.45 tunz");
        EXPECT_EQ(table.At(2).EntryName + " " + table.At(2).Address, "Ufficio 192.0.2.10");
        uint32_t result = 0;
        EXPECT_STREQ(ProjectionOf(service, entry.hrasconn, &result).szServerIpAddress,
                     "203.0.113.1");
        // A link that does not count: the projection record stays as it was.
        EXPECT_STREQ(ProjectionOf(service, if_nametoindex("tunfree"), &result).szIpAddress,
                     "unchanged");
        EXPECT_EQ(result, linkerror::InvalidHandle);
        // Room for one record gets one, and learns the size it needed.
        RASCONN record{};
        record.dwSize = sizeof record;
        uint32_t size = sizeof record, count = 0;
        EXPECT_EQ(service.RasEnumConnectionsA(&record, &size, &count), linkerror::BufferTooSmall);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(size, 2 * sizeof(RASCONN));
        EXPECT_STREQ(record.szDeviceName, "tunz");
    });
}

// A dial that brings a link up is true, and hanging up ends that link only.
TEST(LinkService, ADialThatBringsALinkUpIsTrueAndHangingUpEndsOnlyThatLink) {
    InPrivateNamespaces([](const fs::path& scratch) {
        const auto rig = StandInService(scratch, "up");
        LinuxRemoteAccess& service = rig->service;
        const std::string entry = "Ufficio \"casa\"; $(touch pwned) 'x' Citt\xc3\xa0";
        uint32_t connection = 0;
        ASSERT_EQ(mRas::DialDefault(service, entry, connection, nullptr), -1);
        uint32_t daemon = 0;
        std::ifstream(scratch / "run" / ("ppp-" + entry + ".pid")) >> daemon;
        EXPECT_EQ(connection, daemon);
        const int daemonEnded = static_cast<int>(syscall(SYS_pidfd_open, daemon, 0));

        ConnectionTable table;
        ASSERT_EQ(mRas::EnumerateConnections(service, table), 1);
        EXPECT_EQ(table.At(1).EntryName + " " + table.At(1).Address, entry + " 198.51.100.23");
        // Someone else's tunnel beside it, with pid files that name nobody alive. A fault that
        // signalled init, the group or everyone would hit only this namespace.
        MakeTunLink("tun9", "192.0.2.40 peer 192.0.2.1");
        for (const char* garbage : {"", "garbage\n", "0\n", "1\n", "-1\n", "+12\n", " 12\n",
                                    "12x\n", "2147483648\n", "99999999999999999999999\n"}) {
            std::ofstream(scratch / "run" / "tun9.pid") << garbage;
            EXPECT_EQ(service.RasHangUpA(if_nametoindex("tun9")), linkerror::NotConnected)
                << garbage;
        }
        EXPECT_EQ(service.RasHangUpA(0x7FFFFFF0u), linkerror::InvalidHandle);
        EXPECT_EQ(service.RasHangUpA(table.At(1).hrasconn), 0u);
        // The daemon takes its link down as it ends.
        pollfd ended{daemonEnded, POLLIN, 0};
        EXPECT_EQ(poll(&ended, 1, 5000), 1);
        EXPECT_EQ(mRas::EnumerateConnections(service, table), 0);
        EXPECT_NE(if_nametoindex("tun9"), 0u) << "the tunnel was left alone";
    });
}

// The entry reaches pppd as one argument, exactly, whatever it holds; an empty entry or one
// holding NUL runs nothing, nor does a dial by anyone but root (pppd would refuse its
// linkname); a dial that runs too long is stopped. Needs no namespace: the stand-in only
// records, fails or hangs.
TEST(LinkService, TheEntryReachesPppdAsOneArgumentAndAHungDialIsStopped) {
    const test::TempDir folder;
    const fs::path scratch = folder.folder();
    const auto rig = StandInService(scratch, "fail");
    LinuxRemoteAccess& service = rig->service;
    const std::string entries[] = {"a;b|c&d>e $(touch pwned)`id` *?",
                                   "--option",
                                   "riga\nnuova\ttab",
                                   "latin1 \xe0",
                                   std::string(256, 'w'),
                                   "",
                                   std::string("Uff\0icio", 8)};
    for (const std::string& entry : entries) {
        const bool refused = entry.empty() || entry.find('\0') != std::string::npos;
        uint32_t connection = 99;
        EXPECT_EQ(service.InternetDial(nullptr, entry, 2, &connection),
                  refused ? linkerror::CannotFindEntry : 1u);
        EXPECT_EQ(connection == 0, refused) << "the identifier of the pppd that ran";
        const std::vector<std::string> ran{"call", entry, "linkname", entry, "updetach"};
        EXPECT_EQ(RecordedArguments(scratch), refused ? std::vector<std::string>{} : ran) << entry;
    }
    EXPECT_FALSE(fs::exists(scratch / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
    const auto user = StandInService(scratch, "fail", std::chrono::seconds(20), false);
    const testing::RecordingReporter reported;
    for (int dial = 0; dial < 2; ++dial) {
        uint32_t connection = 99;
        EXPECT_EQ(user->service.InternetDial(nullptr, "Ufficio", 2, &connection),
                  linkerror::AccessDenied);
        EXPECT_EQ(connection, 0u);
    }
    EXPECT_EQ(RecordedArguments(scratch), std::vector<std::string>{}) << "pppd was run";
    const std::string said = reported.Text();
    EXPECT_NE(said.find("needs root"), std::string::npos) << said;
    EXPECT_EQ(said.find("needs root"), said.rfind("needs root")) << "said once: " << said;
    const auto hung = StandInService(scratch, "hang", std::chrono::milliseconds(200));
    uint32_t connection = 0;
    EXPECT_EQ(hung->service.InternetDial(nullptr, "Ufficio", 2, &connection),
              linuxlink::kDialTimedOut);
}

}  // namespace
}  // namespace orvane::dialup
