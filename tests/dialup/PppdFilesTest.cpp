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
#include "dialup/linux/PppdLinks.h"
#include "support/TestFiles.h"

namespace orvane::dialup {
namespace {

namespace fs = std::filesystem;
using namespace linuxlink;

// A run directory of its own, and processes that are alive or certainly gone.
class RunDirectory : public testing::Test {
  protected:
    void SetUp() override {
        const pid_t gone = fork();
        if (gone == 0) _exit(0);
        waitpid(gone, nullptr, 0);
        goneId = std::to_string(gone);
        live = fork();
        if (live == 0) {
            pause();
            _exit(0);
        }
        liveId = std::to_string(live);
    }
    void TearDown() override {
        if (live > 0) {
            kill(live, SIGKILL);
            waitpid(live, nullptr, 0);
        }
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(run / name, std::ios::binary) << text;
    }
    // An executable shell script in the run directory.
    fs::path Script(const std::string& body) {
        std::ofstream(run / "pppd") << "#!/bin/sh\n" << body;
        fs::permissions(run / "pppd", fs::perms::owner_all);
        return run / "pppd";
    }

    test::TempDir folder;
    fs::path run = folder.folder();
    pid_t live = 0;
    std::string liveId, goneId;
};

// The owner: the live process of "<interface>.pid", else of a "ppp-NAME.pid" naming the
// interface; the name: from a live link-name file, the first by file name.
TEST_F(RunDirectory, OwnerAndNameComeFromLivePidFilesOnly) {
    const std::string odd = "Ufficio \"casa\"; $(id) Citt\xc3\xa0";
    Write("ppp0.pid", liveId + "\n");
    Write("ppp-" + odd + ".pid", liveId + "\nppp0\n");
    Write("ppp1.pid", goneId + "\n");
    Write("ppp-Ufficio.pid", liveId + "\nppp1\n");
    Write("ppp-B.pid", liveId + "\nppp2\n");
    Write("ppp-A.pid", liveId + "\nppp2\n");
    Write("ppp3.pid", "garbage\n");
    Write("ppp4.pid", goneId + "\n");
    Write("ppp-Morto.pid", goneId + "\nppp4\n");
    Write("ppp5.pid", liveId + "\n");
    const std::optional<pid_t> none;
    const std::optional<std::string> noName;
    const struct {
        std::string interfaceName;
        std::optional<pid_t> owner;
        std::optional<std::string> name;
    } cases[] = {{"ppp0", live, odd},    {"ppp1", live, "Ufficio"}, {"ppp2", live, "A"},
                 {"ppp3", none, noName}, {"ppp4", none, noName},    {"ppp5", live, noName},
                 {"ppp9", none, noName}, {"../ppp0", none, noName}};
    for (const auto& c : cases) {
        EXPECT_EQ(FindLinkOwner(run, c.interfaceName), c.owner) << c.interfaceName;
        EXPECT_EQ(FindLinkName(run, c.interfaceName), c.name) << c.interfaceName;
    }
    EXPECT_EQ(FindLinkOwner(run / "missing", "ppp0"), none);
    EXPECT_EQ(FindLinkNameOwner(run, odd), live);
    EXPECT_EQ(FindLinkNameOwner(run, "Morto"), none);
}

TEST_F(RunDirectory, LinksAndPipesInPlaceOfPidFilesAreNotRead) {
    Write("elsewhere", liveId + "\nppp0\n");
    fs::create_symlink(run / "elsewhere", run / "ppp0.pid");
    fs::create_symlink(run / "elsewhere", run / "ppp-Ufficio.pid");
    ASSERT_EQ(mkfifo((run / "ppp1.pid").c_str(), 0600), 0);
    EXPECT_EQ(FindLinkOwner(run, "ppp0"), std::nullopt);
    EXPECT_EQ(FindLinkName(run, "ppp0"), std::nullopt);
    EXPECT_EQ(FindLinkOwner(run, "ppp1"), std::nullopt);  // and does not hang
}

TEST_F(RunDirectory, ADialWithoutThePppdProgramFailsAsNotStarted) {
    PppdLinks pppd(PppdOptions{run, "orvane-no-such-pppd"});
    LinuxRemoteAccess missing(pppd);
    uint32_t connection = 99;
    EXPECT_EQ(missing.InternetDial(nullptr, "Ufficio", 2, &connection), kDialNotStarted);
    EXPECT_EQ(connection, 0u);
}

// pppd waits for its own children and must see no signal ignored or blocked and no
// descriptor of ours, though here SIGCHLD and SIGPIPE are ignored, SIGTERM blocked and
// descriptor 50 lacks close-on-exec.
TEST_F(RunDirectory, PppdStartsWithDefaultSignalsAndNoInheritedDescriptors) {
    // Builtins only: the shell blocks every signal while it forks.
    const fs::path program = Script(
        "while read -r key value; do case $key in SigBlk:|SigIgn:)\n"
        "  echo \"$key $value\";; esac; done </proc/$$/status >\"$0.signals\"\n"
        "[ -e /proc/$$/fd/50 ] && : > \"$0.fd50\"\nexit 3\n");
    ASSERT_EQ(dup2(open("/dev/null", O_RDONLY), 50), 50);
    struct sigaction ignore {
    }, oldChild{}, oldPipe{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &oldChild);
    sigaction(SIGPIPE, &ignore, &oldPipe);
    sigset_t term, oldMask;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, &oldMask);
    PppdLinks pppd(PppdOptions{run, program.string()});
    LinuxRemoteAccess service(pppd);
    uint32_t connection = 0;
    const uint32_t status = service.InternetDial(nullptr, "Ufficio", 2, &connection);
    sigprocmask(SIG_SETMASK, &oldMask, nullptr);
    sigaction(SIGPIPE, &oldPipe, nullptr);
    sigaction(SIGCHLD, &oldChild, nullptr);
    close(50);

    EXPECT_EQ(status, kDialStatusLost);  // SIGCHLD ignored loses the status, not the dial
    std::ifstream signals(run / "pppd.signals");
    std::string blockedLabel, ignoredLabel;
    uint64_t blocked = ~0ull, ignored = ~0ull;
    signals >> blockedLabel >> std::hex >> blocked >> ignoredLabel >> ignored;
    ASSERT_EQ(blockedLabel + ignoredLabel, "SigBlk:SigIgn:");
    // Signals 1 to 31 only: the C library keeps its own two real-time signals to itself.
    EXPECT_EQ(blocked & 0x7FFFFFFFu, 0u);
    EXPECT_EQ(ignored & 0x7FFFFFFFu, 0u);
    EXPECT_FALSE(fs::exists(run / "pppd.fd50"));
}

}  // namespace
}  // namespace orvane::dialup
