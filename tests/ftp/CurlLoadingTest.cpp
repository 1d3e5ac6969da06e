// Loading libcurl on the first open: not before it, falling back through the names, and a clear
// refusal, never a crash, when the library or one of its functions is missing.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/CurlInternetClient.h"
#include "ftp/InternetClient.h"

namespace orvane::ftp {
namespace {

HINTERNET Open(InternetClient& client) {
    return client.InternetOpenA("Tarrowind", INTERNET_OPEN_TYPE_DIRECT, "", "",
                                INTERNET_FLAG_NO_CACHE_WRITE);
}

bool CurlIsLoaded() {
    void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);  // drops the reference the lookup took
    return handle != nullptr;
}

// In a process of its own, whatever else this run has loaded already; the exit code is 0 when
// libcurl arrives with the first open and not before, else the step that went wrong.
TEST(CurlLoadingTest, TheProgramStartsWithoutLibcurlAndTheFirstOpenLoadsIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto wrongStep = [] {
        if (CurlIsLoaded()) return 1;
        const auto client = MakeSystemInternetClient();
        if (CurlIsLoaded()) return 2;
        return Open(*client) == 0 ? 3 : CurlIsLoaded() ? 0 : 4;
    };
    EXPECT_EXIT(std::exit(wrongStep()), ::testing::ExitedWithCode(0), "");
}

// Each client tries its names once: the second open gets the first one's outcome.
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
        const auto client = detail::MakeCurlInternetClient({}, c.libraryNames);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            const HINTERNET internet = Open(*client);
            EXPECT_EQ(internet != 0, c.errorNames.empty()) << client->LastErrorText();
            if (internet != 0) continue;
            const std::string text = client->LastErrorText();
            for (const std::string& name : c.errorNames) {
                EXPECT_NE(text.find(name), std::string::npos) << name << " in " << text;
            }
            // No handle was made, so the next call refuses rather than reaching for the library.
            EXPECT_EQ(client->InternetConnectA(1, "127.0.0.1", 21, "u", "p", INTERNET_SERVICE_FTP,
                                               INTERNET_FLAG_PASSIVE, 0),
                      0u);
        }
    }
}

}  // namespace
}  // namespace orvane::ftp
