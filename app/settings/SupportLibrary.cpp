// Deploying the support library: atomic write, dlopen by absolute path, identity check, unload.
#include "SupportLibrary.h"

#include <climits>
#include <cstdio>
#include <dlfcn.h>
#include <fstream>
#include <link.h>
#include <memory>
#include <optional>
#include <unistd.h>

#include <raradozo/bstr.h>
#include <raradozo/raradozo.h>

#include "runtime/RuntimeError.h"
#include "settings/SafeFile.h"

namespace orvane::mCrypt {

namespace {

constexpr const char* EntryNames[] = {"c_CenterForm", "c_DeCrypt", "c_DeCryptBuffer"};

// More load references than any program holds; ends the release loop should the loader
// keep the library for good.
constexpr int MaxReleasePasses = 1000;

std::string LoaderError() {
    const char* text = dlerror();
    return text ? text : "unknown loader error";
}

// The inode of the file mapped at `address`, from this process's memory map.
std::optional<ino_t> MappedInode(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto where = reinterpret_cast<uintptr_t>(address);
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long long begin = 0, end = 0, inode = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %*s %*s %*s %llu", &begin, &end, &inode) != 3)
            continue;
        if (where >= begin && where < end) return static_cast<ino_t>(inode);
    }
    return std::nullopt;
}

struct ResultStringDeleter {
    void operator()(char* text) const { SysFreeString(text); }
};

int32_t CountOf(std::size_t size) {
    if (size > INT32_MAX) throw RuntimeError(ErrorNumber::Overflow);
    return static_cast<int32_t>(size);
}

}  // namespace

void SupportLibrary::Deploy(const std::string& path, std::span<const unsigned char> image) {
    Withdraw();
    path_ = path;
    owner_ = getpid();
    const settings::FileIdentity written = settings::ReplaceFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()), 0600,
        settings::Durability::Transient);
    written_ = true;
    Load();
    // The file loaded must be the one just written: anyone able to write to the directory
    // could have swapped it in between. Inodes only: on layered file systems the device
    // numbers of the map and of stat differ.
    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        MappedInode(map->l_ld) != written.inode)
        throw RuntimeError(ErrorNumber::DllLoadError,
                           path + " was replaced by another file before it was loaded");
}

void SupportLibrary::Load() {
    dlerror();
    handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw RuntimeError(ErrorNumber::DllLoadError, LoaderError());
}

void SupportLibrary::Unload() {
    if (handle_ == nullptr) return;
    // Each pass drops one load reference. A lookup with RTLD_NOLOAD finds the library only
    // while it is loaded, and adds a reference of its own, which is dropped first.
    for (int pass = 0; pass < MaxReleasePasses; ++pass) {
        void* again = dlopen(path_.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (again == nullptr) break;
        dlclose(again);
        if (dlclose(again) != 0) break;
    }
    handle_ = nullptr;
    entries_ = {};
}

void SupportLibrary::Withdraw() {
    if (owner_ != getpid()) return;
    Unload();
    if (written_) unlink(path_.c_str());  // errors ignored: the file may be gone already
    written_ = false;
    path_.clear();
    owner_ = 0;
}

void* SupportLibrary::Entry(LibraryEntry entry) {
    if (handle_ == nullptr)
        throw RuntimeError(ErrorNumber::DllLoadError, "the support library is not loaded");
    const auto index = static_cast<std::size_t>(entry);
    void*& slot = entries_[index];
    if (slot == nullptr) {
        dlerror();
        slot = dlsym(handle_, EntryNames[index]);
        if (slot == nullptr)
            throw RuntimeError(ErrorNumber::DllEntryPointNotFound,
                               std::string(EntryNames[index]) + " in " + path_);
    }
    return slot;
}

Deployment& TheDeployment() {
    static Deployment deployment;
    return deployment;
}

std::string LibraryDecrypt(std::string_view text) {
    const auto decrypt = reinterpret_cast<decltype(&c_DeCrypt)>(
        TheDeployment().library.Entry(LibraryEntry::DeCrypt));
    const std::unique_ptr<char, ResultStringDeleter> result(
        decrypt(text.data(), CountOf(text.size())));
    if (!result) return {};
    return std::string(result.get(), SysStringByteLen(result.get()));
}

void LibraryDecryptBuffer(std::string& buffer, const std::string& key) {
    const auto decryptBuffer = reinterpret_cast<decltype(&c_DeCryptBuffer)>(
        TheDeployment().library.Entry(LibraryEntry::DeCryptBuffer));
    decryptBuffer(reinterpret_cast<unsigned char*>(buffer.data()), CountOf(buffer.size()),
                  key.c_str());
}

}  // namespace orvane::mCrypt
