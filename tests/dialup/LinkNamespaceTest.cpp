// The Linux link service on real tun links inside private network, mount and process
// namespaces, with a stand-in pppd that brings links up, fails or hangs.
#include <gtest/gtest.h>
#include <net/if.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "dialup/linux/LinuxRemoteAccess.h"
#include "dialup/linux/PppdDialer.h"
#include "dialup/mRas.h"

extern char** environ;

namespace orvane::dialup {
namespace {

namespace fs = std::filesystem;
using mRas::ConnectionTable;

constexpr int kCannotIsolate = 77;

// Records its arguments NUL-separated, then acts as FAKE_PPPD_MODE says: "fail" exits 1,
// "hang" never finishes, "up" brings up a tun link and leaves a daemon holding it.
constexpr const char* kStandInPppd = R"(#!/bin/sh
for arg in "$@"; do printf '%s\000' "$arg"; done > "$FAKE_PPPD_ARGV"
case "$FAKE_PPPD_MODE" in
fail) exit 1 ;;
hang) exec sleep 600 ;;
esac
ip tuntap add dev "$FAKE_PPPD_IF" mode tun || exit 2
ip addr add "$FAKE_PPPD_LOCAL" peer "$FAKE_PPPD_PEER" dev "$FAKE_PPPD_IF" || exit 2
ip link set "$FAKE_PPPD_IF" up || exit 2
"$(dirname "$0")/pppd-daemon" "$4" </dev/null >/dev/null 2>&1 &
# Like pppd with updetach: return once the daemon has written its pid files.
while [ ! -e "$FAKE_PPPD_RUN/ppp-$4.pid" ]; do sleep 0.01; done
exit 0
)";

// pppd's daemon half: pid files as pppd writes them; on SIGTERM the link goes down and the
// files go away.
constexpr const char* kStandInDaemon = R"(#!/bin/sh
trap 'kill "$sleeper"; ip link del "$FAKE_PPPD_IF"; rm -f "$FAKE_PPPD_RUN/ppp-$1.pid" "$FAKE_PPPD_RUN/$FAKE_PPPD_IF.pid"; exit 0' TERM
printf '%s\n' $$ > "$FAKE_PPPD_RUN/$FAKE_PPPD_IF.pid"
printf '%s\n%s\n' $$ "$FAKE_PPPD_IF" > "$FAKE_PPPD_RUN/.linkname"
mv "$FAKE_PPPD_RUN/.linkname" "$FAKE_PPPD_RUN/ppp-$1.pid"
sleep 600 & sleeper=$!
wait "$sleeper"
)";

std::string WhyNoNamespaces() {
    if (geteuid() != 0) return "needs root to make network namespaces and tun links";
    if (access("/dev/net/tun", R_OK | W_OK) != 0) return "needs /dev/net/tun";
    return {};
}

int RunCommand(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void MakeTunLink(const std::string& name, const std::string& local = "",
                 const std::string& peer = "", bool up = true) {
    ASSERT_EQ(RunCommand({"ip", "tuntap", "add", "dev", name, "mode", "tun"}), 0) << name;
    if (!local.empty()) {
        ASSERT_EQ(RunCommand({"ip", "addr", "add", local, "peer", peer, "dev", name}), 0) << name;
    }
    if (up) {
        ASSERT_EQ(RunCommand({"ip", "link", "set", name, "up"}), 0) << name;
    }
}

// Inside the new namespaces: the first child is the process namespace's init; when it
// returns, every daemon the test left behind is killed with it.
[[noreturn]] void RunAsNamespaceInit(const std::function<void(const fs::path&)>& body,
                                     const fs::path& scratch) {
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", scratch.c_str(), "tmpfs", 0, "mode=0700") != 0) {
        perror("private mounts");
        _exit(kCannotIsolate);
    }
    const pid_t testBody = fork();
    if (testBody == 0) {
        fs::create_directories(scratch / "run");
        body(scratch);
        fflush(stdout);
        _exit(testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    for (pid_t done; (done = wait(&status)) != testBody;) {
        if (done < 0 && errno != EINTR) _exit(1);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

// Runs `body` in its own network, mount and process namespaces with a private tmpfs as its
// scratch directory ("run" inside it stands for /run); nothing it makes outlives it.
void InPrivateNamespaces(const std::function<void(const fs::path&)>& body) {
    if (const std::string why = WhyNoNamespaces(); !why.empty()) GTEST_SKIP() << why;
    char pattern[] = "/tmp/orvane-links-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path scratch = pattern;
    fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNET | CLONE_NEWNS | CLONE_NEWPID) != 0) {
            perror("unshare");
            _exit(kCannotIsolate);
        }
        const pid_t init = fork();
        if (init == 0) RunAsNamespaceInit(body, scratch);
        int status = 0;
        waitpid(init, &status, 0);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    fs::remove(scratch);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotIsolate) {
        GTEST_SKIP() << "cannot make private network and mount namespaces here";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "see the failures above";
}

// Puts the stand-in pppd first on PATH and describes the link it is to bring up.
void InstallStandInPppd(const fs::path& scratch, const std::string& mode) {
    const fs::path bin = scratch / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "pppd") << kStandInPppd;
    std::ofstream(bin / "pppd-daemon") << kStandInDaemon;
    for (const char* name : {"pppd", "pppd-daemon"})
        fs::permissions(bin / name, fs::perms::owner_all);
    setenv("PATH", (bin.string() + ":" + getenv("PATH")).c_str(), 1);
    setenv("FAKE_PPPD_MODE", mode.c_str(), 1);
    setenv("FAKE_PPPD_RUN", (scratch / "run").c_str(), 1);
    setenv("FAKE_PPPD_ARGV", (scratch / "argv").c_str(), 1);
    setenv("FAKE_PPPD_IF", "ppp0", 1);
    setenv("FAKE_PPPD_LOCAL", "198.51.100.23", 1);
    setenv("FAKE_PPPD_PEER", "198.51.100.1", 1);
}

std::vector<std::string> RecordedArguments(const fs::path& scratch) {
    std::ifstream file(scratch / "argv", std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(file, argument, '\0');) arguments.push_back(argument);
    return arguments;
}

std::vector<std::string> PppdArguments(const std::string& entry) {
    return {"call", entry, "linkname", entry, "updetach"};
}

LinuxRemoteAccess ServiceFor(const fs::path& scratch,
                             std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return LinuxRemoteAccess(LinkServiceOptions{scratch / "run", "pppd", limit});
}

RASPPPIP ProjectionOf(RemoteAccess& service, HRASCONN connection, uint32_t* result) {
    RASPPPIP projection{sizeof(RASPPPIP), 0, "unchanged", "unchanged"};
    uint32_t size = sizeof projection;
    *result = service.RasGetProjectionInfoA(connection, RASP_PppIp, &projection, &size);
    return projection;
}

TEST(LinkService, TheOnlyTunLinkIsTheOneConnectionWithItsAddress) {
    InPrivateNamespaces([](const fs::path&) {
        MakeTunLink("tun0", "203.0.113.45", "203.0.113.1");
        const auto service = MakeSystemRemoteAccess();
        ConnectionTable table;
        ASSERT_EQ(mRas::EnumerateConnections(*service, table), 1);
        const mRas::ConnectionInfo& entry = table.At(1);
        EXPECT_EQ(entry.Address, "203.0.113.45");
        EXPECT_EQ(entry.EntryName, "tun0");
        EXPECT_EQ(entry.hrasconn, if_nametoindex("tun0"));
        EXPECT_STREQ(entry.szDeviceName, "tun0");
        EXPECT_STREQ(entry.szDeviceType, "TUNNEL");
        uint32_t result = 0;
        EXPECT_STREQ(ProjectionOf(*service, entry.hrasconn, &result).szServerIpAddress,
                     "203.0.113.1");
    });
}

TEST(LinkService, OnlyUpPointToPointLinksWithIPv4CountInIndexOrder) {
    InPrivateNamespaces([](const fs::path&) {
        ASSERT_EQ(RunCommand({"ip", "link", "set", "lo", "up"}), 0);  // 127.0.0.1, not p2p
        MakeTunLink("tunz", "192.0.2.10", "192.0.2.1");
        MakeTunLink("tunbare");
        ASSERT_EQ(RunCommand({"ip", "-6", "addr", "add", "2001:db8::1", "dev", "tunbare"}), 0);
        MakeTunLink("tundown", "198.51.100.10", "198.51.100.1", false);
        MakeTunLink("tungone", "198.51.100.20", "198.51.100.1");
        const HRASCONN gone = if_nametoindex("tungone");
        ASSERT_EQ(RunCommand({"ip", "link", "del", "tungone"}), 0);
        MakeTunLink("tuna", "203.0.113.10", "203.0.113.1");

        LinuxRemoteAccess service;
        ConnectionTable table;
        ASSERT_EQ(mRas::EnumerateConnections(service, table), 2);
        EXPECT_EQ(table.At(1).EntryName + " " + table.At(1).Address, "tunz 192.0.2.10");
        EXPECT_EQ(table.At(2).EntryName + " " + table.At(2).Address, "tuna 203.0.113.10");

        // A link without IPv4, or gone, leaves the projection record as it was.
        uint32_t result = 0;
        EXPECT_STREQ(ProjectionOf(service, if_nametoindex("tunbare"), &result).szIpAddress,
                     "unchanged");
        EXPECT_EQ(result, linkerror::ProjectionNotComplete);
        EXPECT_STREQ(ProjectionOf(service, gone, &result).szIpAddress, "unchanged");
        EXPECT_EQ(result, linkerror::InvalidHandle);

        // A buffer with room for one record gets one, and learns the size it needed.
        RASCONN record{};
        record.dwSize = sizeof record;
        uint32_t size = sizeof record, count = 0;
        EXPECT_EQ(service.RasEnumConnectionsA(&record, &size, &count), linkerror::BufferTooSmall);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(size, 2 * sizeof(RASCONN));
        EXPECT_STREQ(record.szDeviceName, "tunz");
    });
}

// Waits, within a generous bound, for the hung-up link to be taken down by its daemon.
bool LinkGoneSoon(const std::string& name) {
    for (int attempt = 0; attempt < 500 && if_nametoindex(name.c_str()) != 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return if_nametoindex(name.c_str()) == 0;
}

TEST(LinkService, ADialThatBringsALinkUpIsTrueAndHangUpEndsOnlyIt) {
    InPrivateNamespaces([](const fs::path& scratch) {
        InstallStandInPppd(scratch, "up");
        LinuxRemoteAccess service = ServiceFor(scratch);
        const std::string entry = "Ufficio \"casa\"; $(touch pwned) 'x' Citt\xc3\xa0";
        uint32_t connection = 0;
        ASSERT_EQ(mRas::DialDefault(service, entry, connection, nullptr), -1);
        EXPECT_EQ(RecordedArguments(scratch), PppdArguments(entry));
        EXPECT_FALSE(fs::exists("pwned"));
        uint32_t daemon = 0;
        std::ifstream(scratch / "run" / ("ppp-" + entry + ".pid")) >> daemon;
        EXPECT_EQ(connection, daemon);

        // A tunnel of someone else's beside it, with pid files that name nobody.
        MakeTunLink("tun9", "192.0.2.40", "192.0.2.1");
        ConnectionTable table;
        ASSERT_EQ(mRas::EnumerateConnections(service, table), 2);
        EXPECT_EQ(table.At(1).EntryName, entry);
        EXPECT_EQ(table.At(1).Address, "198.51.100.23");
        EXPECT_STREQ(table.At(1).szDeviceType, "PPP");
        // Here a fault that signalled init, the group or everyone would hit only this test.
        for (const char* garbage : {"garbage\n", "0\n", "1\n", "-1\n"}) {
            std::ofstream(scratch / "run" / "tun9.pid") << garbage;
            EXPECT_EQ(service.RasHangUpA(table.At(2).hrasconn), linkerror::NotConnected);
        }

        EXPECT_EQ(service.RasHangUpA(table.At(1).hrasconn), 0u);
        EXPECT_TRUE(LinkGoneSoon("ppp0"));
        ASSERT_EQ(mRas::EnumerateConnections(service, table), 1);
        EXPECT_EQ(table.At(1).EntryName, "tun9");
    });
}

TEST(LinkService, ADialThatFailsOrHangsIsFalse) {
    InPrivateNamespaces([](const fs::path& scratch) {
        InstallStandInPppd(scratch, "fail");
        LinuxRemoteAccess service = ServiceFor(scratch);
        uint32_t connection = 0;
        EXPECT_EQ(service.InternetDial(nullptr, "Ufficio", 2, &connection), 1u);
        EXPECT_NE(connection, 0u) << "the identifier of the pppd that ran";
        EXPECT_EQ(mRas::DialDefault(service, "Ufficio", connection, nullptr), 0);

        setenv("FAKE_PPPD_MODE", "hang", 1);
        LinuxRemoteAccess impatient = ServiceFor(scratch, std::chrono::milliseconds(200));
        EXPECT_EQ(impatient.InternetDial(nullptr, "Ufficio", 2, &connection),
                  linuxlink::kDialTimedOut);
        EXPECT_EQ(mRas::DialDefault(impatient, "Ufficio", connection, nullptr), 0);
    });
}

// The entry reaches pppd as one argument, exactly, whatever it holds. Needs no namespace:
// the stand-in only records its arguments and fails.
TEST(LinkService, TheEntryReachesPppdUnchangedAsOneArgument) {
    char pattern[] = "/tmp/orvane-pppd-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path scratch = pattern;
    const std::string savedPath = getenv("PATH");
    InstallStandInPppd(scratch, "fail");
    LinuxRemoteAccess service = ServiceFor(scratch);
    std::vector<std::string> entries = {"Ufficio",
                                        "due parole",
                                        " spazi attorno ",
                                        "it's \"quoted\"",
                                        "a;b|c&d>e",
                                        "$(touch pwned)`id`",
                                        "-leading-dash",
                                        "--option",
                                        "riga\nnuova",
                                        "tab\there",
                                        "Citt\xc3\xa0 \xe2\x82\xac",
                                        "latin1 \xe0",
                                        "*?[glob]"};
    entries.push_back(std::string(256, 'w'));
    for (const std::string& entry : entries) {
        fs::remove(scratch / "argv");
        uint32_t connection = 0;
        EXPECT_EQ(service.InternetDial(nullptr, entry, 2, &connection), 1u);
        EXPECT_EQ(RecordedArguments(scratch), PppdArguments(entry)) << entry;
    }
    EXPECT_FALSE(fs::exists(scratch / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
    setenv("PATH", savedPath.c_str(), 1);
    fs::remove_all(scratch);
}

}  // namespace
}  // namespace orvane::dialup
