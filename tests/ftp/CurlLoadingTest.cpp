// Loading libcurl on the first open: not before it, falling back through the names, and a clear
// refusal, never a crash, when the library or one of its functions is missing.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "ftp/CurlUploader.h"
#include "ftp/Uploader.h"

namespace orvane::ftp {
namespace {

struct NeverClosing final : EventWait {
    void WaitForEvents(std::chrono::milliseconds) override {}
    bool StopRequested() const override { return false; }
};

// A session without a server name: once the library is loaded, the login fails at once.
UploadFailure OpenWithoutServer(Uploader& uploader) {
    NeverClosing wait;
    return std::get<UploadFailure>(uploader.Open({}, wait));
}

bool CurlIsLoaded() {
    void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);  // drops the reference the lookup took
    return handle != nullptr;
}

// In a process of its own, whatever else this run has loaded already: the program's uploader
// runs libcurl in its helper process, so a session (here one the helper refuses) never loads it
// here, while the in-process one loads it at its first open. The exit code is 0, else the step
// that went wrong.
TEST(CurlLoadingTest, OnlyTheHelperLoadsLibcurl) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto wrongStep = [] {
        if (CurlIsLoaded()) return 1;
        if (OpenWithoutServer(*MakeSystemUploader()).step != UploadStep::Login) return 2;
        if (CurlIsLoaded()) return 3;
        const auto inProcess = detail::MakeInProcessUploader({});
        if (CurlIsLoaded()) return 4;
        return OpenWithoutServer(*inProcess).step != UploadStep::Login ? 5 : CurlIsLoaded() ? 0 : 6;
    };
    EXPECT_EXIT(std::exit(wrongStep()), ::testing::ExitedWithCode(0), "");
}

// Each uploader tries its names once: the second open gets the first one's outcome.
TEST(CurlLoadingTest, OpensOrRefusesCleanly) {
    constexpr const char* kAbsent = "liborvane-absent-curl.so.4";
    const struct {
        std::vector<std::string> libraryNames;
        std::vector<std::string> errorNames;  // what the message must hold; empty when it loads
    } cases[] = {
        {{kAbsent, "liborvane-absent.so"}, {kAbsent, "liborvane-absent.so"}},
        {{}, {"no library name"}},
        {{"libm.so.6"}, {"libm.so.6", "curl_"}},  // a library without curl's functions
        {{kAbsent, "libcurl.so.4"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.libraryNames));
        const auto uploader = detail::MakeCurlUploader({}, c.libraryNames);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            const UploadFailure failure = OpenWithoutServer(*uploader);
            EXPECT_EQ(failure.step,
                      c.errorNames.empty() ? UploadStep::Login : UploadStep::OpenInternet)
                << failure.reason;
            for (const std::string& name : c.errorNames) {
                EXPECT_NE(failure.reason.find(name), std::string::npos)
                    << name << " in " << failure.reason;
            }
        }
    }
}

}  // namespace
}  // namespace orvane::ftp
