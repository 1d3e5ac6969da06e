// A temporary directory removed with its contents at the end of the test, and small file helpers.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace orvane::test {

class TempDir {
  public:
    TempDir() {
        // create_directory says whether it made the directory, so a name is never shared.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto candidate = std::filesystem::temp_directory_path() /
                                   ("orvane-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate))
                path_ = candidate.string() +
                        static_cast<char>(std::filesystem::path::preferred_separator);
        }
        if (path_.empty()) throw std::runtime_error("cannot make a temporary directory");
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing separator ("/", on Windows "\\").
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }
    // The directory without the trailing separator.
    std::filesystem::path folder() const { return std::filesystem::path(path_).parent_path(); }

  private:
    std::string path_;
};

inline void WriteText(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The file's bytes; a file that cannot be read (missing, a directory) reads as empty.
inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The names in a directory, sorted and joined by spaces.
inline std::string ListDirectory(const std::string& path) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.insert(entry.path().filename().string());
    std::string joined;
    for (const auto& name : names) joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

}  // namespace orvane::test
