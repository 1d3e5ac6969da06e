// Runs a test body in private network and process namespaces (root only; skipped elsewhere).
#pragma once

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "support/TestFiles.h"

namespace orvane::test {

inline int ExitCodeOf(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// Runs `body` in its own network and process namespaces with a scratch directory ("run"
// inside it stands for /run). Its parent is the namespace's init: when init ends, every
// daemon the body left behind is killed with it.
inline void InPrivateNamespaces(const std::function<void(const std::filesystem::path&)>& body) {
    constexpr int kCannotIsolate = 77;
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make network namespaces and tun links";
    if (access("/dev/net/tun", R_OK | W_OK) != 0) GTEST_SKIP() << "needs /dev/net/tun";
    const TempDir folder;
    const std::filesystem::path scratch = folder.folder();
    fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNET | CLONE_NEWPID) != 0) _exit(kCannotIsolate);
        const pid_t init = fork();
        if (init != 0) _exit(ExitCodeOf(init));
        const pid_t testBody = fork();
        if (testBody == 0) {
            std::filesystem::create_directories(scratch / "run");
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

}  // namespace orvane::test
