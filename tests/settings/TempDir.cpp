// Temporary directories and small file helpers for the tests.
#include "TempDir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace orvane::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    // create_directory says whether it made the directory, so a name is never shared.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const auto candidate =
            fs::temp_directory_path() / ("orvane-test-" + std::to_string(random()));
        if (fs::create_directory(candidate))
            path_ = candidate.string() + static_cast<char>(fs::path::preferred_separator);
    }
    if (path_.empty()) throw std::runtime_error("cannot make a temporary directory");
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::replace);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

void WriteText(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& name : names) joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

}  // namespace orvane::test
