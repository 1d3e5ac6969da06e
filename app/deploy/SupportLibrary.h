// The deployed support library: its file beside the program, its loading and lazy binding by
// name. The loader's calls are per platform (SupportLibrary_posix.cpp, SupportLibrary_win32.cpp).
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "deploy/InstanceLock.h"
#include "runtime/SafeFile.h"

namespace orvane::mCrypt {

// The library's exports that the program calls.
enum class LibraryEntry { CenterForm, DeCrypt, DeCryptBuffer };

class SupportLibrary {
  public:
    SupportLibrary() = default;
    SupportLibrary(const SupportLibrary&) = delete;
    SupportLibrary& operator=(const SupportLibrary&) = delete;
    ~SupportLibrary() { Withdraw(); }

    // Writes `image` to `path` (replacing whatever is there, owner-only) and loads exactly
    // that file. Errors are RuntimeErrors naming the path; what was done is undone by Withdraw.
    void Deploy(const std::string& path, std::span<const unsigned char> image);
    // Unloads the library until it is no longer loaded and deletes the file this process
    // wrote, ignoring errors. Does nothing when nothing was deployed; safe to call again.
    void Withdraw();

    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Path() const { return path_; }
    // The address of an export, looked up by name on its first use and kept.
    void* Entry(LibraryEntry entry);

  private:
    // The platform's part: load exactly the file just written, drop every load reference,
    // look up an export by name, and the id of the running process.
    void Load(const FileIdentity& written);
    void Unload();
    void* LookUp(const char* name) const;
    static long long CurrentProcess();
    static void DeleteQuietly(const std::string& path);

    std::string path_;
    long long owner_ = 0;  // the process that wrote the file; a forked child must not remove it
    bool written_ = false;
    void* handle_ = nullptr;
    std::array<void*, 3> entries_{};
};

// The support module's hold on its directory: the instance lock, then the library, so that
// the library's file is gone before the lock is given up.
struct Deployment {
    InstanceLock lock;
    SupportLibrary library;
};

// The one deployment of this process.
Deployment& TheDeployment();

// The bytes of a string result of the library, which is released.
std::string TakeLibraryString(char* result);

// Stage 1 through the loaded library (c_DeCrypt): the bytes the encoded text stands for.
std::string LibraryDecrypt(std::string_view text);
// Stage 2 through the loaded library (c_DeCryptBuffer): the buffer changed in place with `key`.
void LibraryDecryptBuffer(std::string& buffer, const std::string& key);

}  // namespace orvane::mCrypt
