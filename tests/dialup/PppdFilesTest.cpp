// pppd's pid files on real files, and what pppd inherits from the service that starts it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dialup/AddressScope.h"
#include "dialup/linux/PidFiles.h"
#include "dialup/linux/PppdDialer.h"
#include "support/SleepingWait.h"
#include "support/TestFiles.h"

namespace orvane::dialup {
namespace {

namespace fs = std::filesystem;
using namespace linuxlink;

// The owner: the live process of "<interface>.pid", else of a "ppp-NAME.pid" naming the
// interface; the name: from a live link-name file, the first by file name. Symbolic links and
// pipes in place of pid files are not read (nor waited on).
TEST(PidFiles, OwnerAndNameComeFromLivePidFilesOnly) {
    const test::TempDir folder;
    const fs::path run = folder.folder();
    const pid_t live = getpid(), gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string liveId = std::to_string(live), goneId = std::to_string(gone);
    const std::string odd = "Ufficio \"casa\"; $(id) Citt\xc3\xa0";
    test::WriteText(run / "ppp0.pid", liveId + "\n");
    test::WriteText(run / ("ppp-" + odd + ".pid"), liveId + "\nppp0\n");
    test::WriteText(run / "ppp1.pid", goneId + "\n");
    test::WriteText(run / "ppp-Ufficio.pid", liveId + "\nppp1\n");
    test::WriteText(run / "ppp-B.pid", liveId + "\nppp2\n");
    test::WriteText(run / "ppp-A.pid", liveId + "\nppp2\n");
    test::WriteText(run / "ppp3.pid", "garbage\n");
    test::WriteText(run / "ppp4.pid", goneId + "\n");
    test::WriteText(run / "ppp-Morto.pid", goneId + "\nppp4\n");
    test::WriteText(run / "ppp5.pid", liveId + "\n");
    test::WriteText(run / "elsewhere", liveId + "\nppp6\n");
    fs::create_symlink(run / "elsewhere", run / "ppp6.pid");
    fs::create_symlink(run / "elsewhere", run / "ppp-Link.pid");
    ASSERT_EQ(mkfifo((run / "ppp7.pid").c_str(), 0600), 0);
    const std::optional<pid_t> none;
    const std::optional<std::string> noName;
    const struct {
        std::string interfaceName;
        std::optional<pid_t> owner;
        std::optional<std::string> name;
    } cases[] = {{"ppp0", live, odd},      {"ppp1", live, "Ufficio"}, {"ppp2", live, "A"},
                 {"ppp3", none, noName},   {"ppp4", none, noName},    {"ppp5", live, noName},
                 {"ppp6", none, noName},   {"ppp7", none, noName},    {"ppp9", none, noName},
                 {"../ppp0", none, noName}};
    for (const auto& c : cases) {
        EXPECT_EQ(FindLinkOwner(run, c.interfaceName), c.owner) << c.interfaceName;
        EXPECT_EQ(FindLinkName(run, c.interfaceName), c.name) << c.interfaceName;
    }
    EXPECT_EQ(FindLinkOwner(run / "missing", "ppp0"), none);
}

// pppd waits for its own children and must see no signal ignored or blocked and no
// descriptor of ours, though here SIGCHLD and SIGPIPE are ignored, SIGTERM blocked and
// descriptor 50 lacks close-on-exec.
TEST(PppdDialer, PppdStartsWithDefaultSignalsAndNoInheritedDescriptors) {
    const test::TempDir folder;
    const fs::path run = folder.folder();
    // It writes what it finds amiss after "ran". Builtins only: the shell blocks every signal
    // while it forks. Signals 1 to 31 only: the C library keeps its own two real-time signals.
    std::ofstream(run / "pppd")
        << "#!/bin/sh\necho ran >\"$0.out\"\n"
           "while read -r key value; do case $key in SigBlk:|SigIgn:)\n"
           "  [ $((0x${value#????????} & 0x7FFFFFFF)) = 0 ] ||\n"
           "  echo \"$key $value\";; esac; done </proc/$$/status >>\"$0.out\"\n"
           "[ -e /proc/$$/fd/50 ] && echo fd50 >>\"$0.out\"\nexit 3\n";
    fs::permissions(run / "pppd", fs::perms::owner_all);
    ASSERT_EQ(dup2(open("/dev/null", O_RDONLY), 50), 50);
    const auto oldChild = signal(SIGCHLD, SIG_IGN);
    const auto oldPipe = signal(SIGPIPE, SIG_IGN);
    sigset_t term, oldMask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, &oldMask);
    testing::SleepingWait wait;
    const uint32_t status =
        RunPppd((run / "pppd").string(), "Ufficio", std::chrono::seconds(120), wait);
    sigprocmask(SIG_SETMASK, &oldMask, nullptr);
    signal(SIGPIPE, oldPipe);
    signal(SIGCHLD, oldChild);
    close(50);
    EXPECT_EQ(status, kDialStatusLost);  // SIGCHLD ignored loses the status, not the dial
    EXPECT_EQ(test::ReadText(run / "pppd.out"), "ran\n");
}

// Only a well-formed address outside every range the Internet does not route counts as
// reachable; each row sits at the edge of a range.
TEST(AddressScope, OnlyGloballyRoutedAddressesAreReachable) {
    const std::pair<const char*, bool> cases[] = {
        {"81.2.69.160", true},      {"100.63.255.255", true},  {"100.64.0.0", false},
        {"100.127.255.255", false}, {"100.128.0.0", true},     {"10.1.2.3", false},
        {"172.15.0.1", true},       {"172.31.255.1", false},   {"192.168.1.1", false},
        {"169.254.3.4", false},     {"127.0.0.1", false},      {"0.1.2.3", false},
        {"203.0.113.45", false},    {"198.51.100.7", false},   {"192.0.2.10", false},
        {"198.19.0.1", false},      {"198.20.0.1", true},      {"224.0.0.1", false},
        {"255.255.255.255", false}, {"223.255.255.254", true}, {"", false},
        {"1.2.3", false},           {"1.2.3.4.5", false},      {"1.2.3.256", false},
        {"01.2.3.4x", false},       {" 1.2.3.4", false},       {"1.2.3.0004", false},
    };
    for (const auto& [address, routable] : cases)
        EXPECT_EQ(IsGloballyRoutable(address), routable) << address;
}

}  // namespace
}  // namespace orvane::dialup
