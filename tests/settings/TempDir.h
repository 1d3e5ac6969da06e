// A temporary directory removed with its contents at the end of the test, and small file helpers.
#pragma once

#include <string>

namespace orvane::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory with a trailing separator ("/", on Windows "\\").
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

void WriteText(const std::string& path, const std::string& content);
std::string ReadText(const std::string& path);
// The names in a directory, sorted and joined by spaces.
std::string ListDirectory(const std::string& path);

}  // namespace orvane::test
