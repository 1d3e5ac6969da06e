// pppd's pid files on real files; hang-up, dial refusals and what pppd inherits from the service.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dialup/linux/LinuxRemoteAccess.h"
#include "dialup/linux/PidFiles.h"
#include "dialup/linux/PppdDialer.h"

namespace orvane::dialup {
namespace {

namespace fs = std::filesystem;
using namespace linuxlink;

// A run directory of its own, and processes that are alive or certainly gone.
class RunDirectory : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvane-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        run = pattern;
    }
    void TearDown() override {
        for (const pid_t child : children) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        fs::remove_all(run);
    }

    void Write(const std::string& name, const std::string& text) {
        std::ofstream(run / name, std::ios::binary) << text;
    }

    // A child that sleeps until it is signalled.
    pid_t LiveProcess() {
        const pid_t child = fork();
        if (child == 0) {
            pause();
            _exit(0);
        }
        children.push_back(child);
        return child;
    }

    static pid_t GoneProcess() {
        const pid_t child = fork();
        if (child == 0) _exit(0);
        waitpid(child, nullptr, 0);
        return child;
    }

    fs::path run;
    std::vector<pid_t> children;
};

TEST_F(RunDirectory, TheOwnerIsTheLiveProcessOfTheInterfaceOrLinkNameFile) {
    const pid_t live = LiveProcess();
    const std::string livePid = std::to_string(live);
    const std::string gonePid = std::to_string(GoneProcess());

    Write("ppp0.pid", livePid + "\n");
    EXPECT_EQ(FindLinkOwner(run, "ppp0"), live);

    Write("ppp1.pid", gonePid + "\n");
    Write("ppp-Ufficio.pid", livePid + "\nppp1\n");
    EXPECT_EQ(FindLinkOwner(run, "ppp1"), live) << "a dead interface file falls back";

    Write("ppp2.pid", "garbage\n");
    Write("ppp-Altro.pid", livePid + "\nppp3\n");
    EXPECT_EQ(FindLinkOwner(run, "ppp2"), std::nullopt);

    Write("ppp4.pid", gonePid + "\n");
    Write("ppp-Morto.pid", gonePid + "\nppp4\n");
    EXPECT_EQ(FindLinkOwner(run, "ppp4"), std::nullopt);

    EXPECT_EQ(FindLinkOwner(run, "ppp9"), std::nullopt);
    EXPECT_EQ(FindLinkOwner(run / "missing", "ppp0"), std::nullopt);
    EXPECT_EQ(FindLinkOwner(run, "../ppp0"), std::nullopt);
}

TEST_F(RunDirectory, LinksAndPipesInPlaceOfPidFilesAreNotRead) {
    const std::string livePid = std::to_string(LiveProcess());
    Write("elsewhere", livePid + "\nppp0\n");
    fs::create_symlink(run / "elsewhere", run / "ppp0.pid");
    fs::create_symlink(run / "elsewhere", run / "ppp-Ufficio.pid");
    ASSERT_EQ(mkfifo((run / "ppp1.pid").c_str(), 0600), 0);
    EXPECT_EQ(FindLinkOwner(run, "ppp0"), std::nullopt);
    EXPECT_EQ(FindLinkName(run, "ppp0"), std::nullopt);
    EXPECT_EQ(FindLinkOwner(run, "ppp1"), std::nullopt);  // and does not hang
}

TEST_F(RunDirectory, TheLinkNameComesFromALiveLinkNameFileNamingTheInterface) {
    const std::string livePid = std::to_string(LiveProcess());
    const std::string gonePid = std::to_string(GoneProcess());
    const std::string odd = "Ufficio \"casa\"; $(id) Citt\xc3\xa0";
    Write("ppp-" + odd + ".pid", livePid + "\nppp0\n");
    Write("ppp-Vecchio.pid", gonePid + "\nppp1\n");
    Write("ppp-B.pid", livePid + "\nppp2\n");
    Write("ppp-A.pid", livePid + "\nppp2\n");
    Write("ppp3.pid", livePid + "\n");

    EXPECT_EQ(FindLinkName(run, "ppp0"), odd);
    EXPECT_EQ(FindLinkName(run, "ppp1"), std::nullopt);
    EXPECT_EQ(FindLinkName(run, "ppp2"), "A");
    EXPECT_EQ(FindLinkName(run, "ppp3"), std::nullopt);
    EXPECT_EQ(FindLinkNameOwner(run, odd), std::stoi(livePid));
    EXPECT_EQ(FindLinkNameOwner(run, "Vecchio"), std::nullopt);
}

// Hang-up on the loopback interface, which every network namespace has.
TEST_F(RunDirectory, HangUpSignalsOnlyALiveOwner) {
    LinuxRemoteAccess service(LinkServiceOptions{run});
    const HRASCONN loopback = if_nametoindex("lo");
    ASSERT_NE(loopback, 0u);

    // Ids 0, 1 and -1 are tried only inside a process namespace (the link tests).
    for (const std::string garbage : {"", "garbage\n", "+12\n", " 12\n", "12x\n", "2147483648\n",
                                      "99999999999999999999999\n"}) {
        Write("lo.pid", garbage);
        EXPECT_EQ(service.RasHangUpA(loopback), linkerror::NotConnected) << garbage;
    }
    Write("lo.pid", std::to_string(GoneProcess()) + "\n");
    EXPECT_EQ(service.RasHangUpA(loopback), linkerror::NotConnected);
    EXPECT_EQ(service.RasHangUpA(0x7FFFFFF0u), linkerror::InvalidHandle);

    const pid_t owner = LiveProcess();
    Write("lo.pid", std::to_string(owner) + "\n");
    ASSERT_EQ(service.RasHangUpA(loopback), 0u);
    int status = 0;
    ASSERT_EQ(waitpid(owner, &status, 0), owner);
    children.clear();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

TEST_F(RunDirectory, ADialThatCannotStartFailsWithoutRunningAnything) {
    LinuxRemoteAccess missing(LinkServiceOptions{run, "orvane-no-such-pppd"});
    uint32_t connection = 99;
    EXPECT_EQ(missing.InternetDial(nullptr, "Ufficio", 2, &connection), kDialNotStarted);
    EXPECT_EQ(connection, 0u);

    // A program that would leave a mark if it were run for a refused entry.
    const fs::path marker = run / "ran";
    const fs::path program = run / "pppd";
    std::ofstream(program) << "#!/bin/sh\n: > '" << marker.string() << "'\n";
    fs::permissions(program, fs::perms::owner_all);
    LinuxRemoteAccess service(LinkServiceOptions{run, program.string()});
    for (const std::string& entry : {std::string(), std::string("Uff\0icio", 8)}) {
        connection = 99;
        EXPECT_EQ(service.InternetDial(nullptr, entry, 2, &connection), linkerror::CannotFindEntry);
        EXPECT_EQ(connection, 0u);
    }
    EXPECT_FALSE(fs::exists(marker));
}

// pppd waits for its own children and must see no signal ignored or blocked, and no
// descriptor of this program's. The program here has SIGCHLD and SIGPIPE ignored, SIGTERM
// blocked and a descriptor without close-on-exec.
TEST_F(RunDirectory, PppdStartsWithDefaultSignalsAndNoInheritedDescriptors) {
    const fs::path program = run / "pppd";
    std::ofstream(program)
        << "#!/bin/sh\n"
           // Builtins only: the shell blocks every signal while it forks.
           "while read -r key value; do case $key in SigBlk:|SigIgn:)\n"
           "  echo \"$key $value\";; esac; done </proc/$$/status >\"$0.signals\"\n"
           "[ -e /proc/$$/fd/50 ] && : > \"$0.fd50\"\n"
           "exit 3\n";
    fs::permissions(program, fs::perms::owner_all);
    const int leaked = dup2(open("/dev/null", O_RDONLY), 50);
    ASSERT_EQ(leaked, 50);
    struct sigaction ignore {
    }, oldChild{}, oldPipe{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &oldChild);
    sigaction(SIGPIPE, &ignore, &oldPipe);
    sigset_t term, oldMask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, &oldMask);

    LinuxRemoteAccess service(LinkServiceOptions{run, program.string()});
    uint32_t connection = 0;
    const uint32_t status = service.InternetDial(nullptr, "Ufficio", 2, &connection);

    sigprocmask(SIG_SETMASK, &oldMask, nullptr);
    sigaction(SIGPIPE, &oldPipe, nullptr);
    sigaction(SIGCHLD, &oldChild, nullptr);
    close(leaked);
    // With SIGCHLD ignored here the exit status is gone, but the dial still ends.
    EXPECT_EQ(status, kDialStatusLost);
    // Signals 1 to 31 only: the C library keeps its own two real-time signals to itself.
    std::ifstream signals(run / "pppd.signals");
    std::string blockedLabel, ignoredLabel;
    uint64_t blocked = ~0ull, ignored = ~0ull;
    signals >> blockedLabel >> std::hex >> blocked >> ignoredLabel >> ignored;
    ASSERT_EQ(blockedLabel + ignoredLabel, "SigBlk:SigIgn:");
    EXPECT_EQ(blocked & 0x7FFFFFFFu, 0u);
    EXPECT_EQ(ignored & 0x7FFFFFFFu, 0u);
    EXPECT_FALSE(fs::exists(run / "pppd.fd50"));
}

}  // namespace
}  // namespace orvane::dialup
