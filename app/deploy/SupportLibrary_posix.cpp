// The support library's loader on POSIX: dlopen by absolute path with an identity check, dlsym,
// the release loop, unlink; result strings freed with free().
#include "SupportLibrary.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>

#include <raradozo/bstr.h>
#include <raradozo/raradozo.h>

#include "runtime/RuntimeError.h"
#include "runtime/SafeFile.h"

namespace orvane::mCrypt {

namespace {

// More load references than any program holds; ends the release loop should the loader
// keep the library for good.
constexpr int MaxReleasePasses = 1000;

std::string LoaderError() {
    const char* text = dlerror();
    return text ? text : "errore sconosciuto del caricatore";
}

// The inode of the file mapped at `address`, from this process's memory map.
std::optional<uint64_t> MappedInode(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto where = reinterpret_cast<uintptr_t>(address);
    std::string line;
    while (std::getline(maps, line)) {
        unsigned long long begin = 0, end = 0, inode = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %*s %*s %*s %llu", &begin, &end, &inode) != 3)
            continue;
        if (where >= begin && where < end) return static_cast<uint64_t>(inode);
    }
    return std::nullopt;
}

}  // namespace

void SupportLibrary::Load(const FileIdentity& written) {
    dlerror();
    handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) throw RuntimeError(ErrorNumber::DllLoadError, LoaderError());
    // The file loaded must be the one just written: anyone able to write to the directory
    // could have swapped it in between. Inodes only: on layered file systems the device
    // numbers of the map and of stat differ.
    link_map* map = nullptr;
    if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        MappedInode(map->l_ld) != written.inode)
        throw RuntimeError(ErrorNumber::DllLoadError,
                           "sostituito da un altro file prima di essere caricato: " + path_);
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

void* SupportLibrary::LookUp(const char* name) const {
    dlerror();
    return dlsym(handle_, name);
}

long long SupportLibrary::CurrentProcess() { return getpid(); }

void SupportLibrary::DeleteQuietly(const std::string& path) { unlink(path.c_str()); }

std::string TakeLibraryString(char* result) {
    if (result == nullptr) return {};
    std::string bytes(result, SysStringByteLen(result));
    SysFreeString(result);
    return bytes;
}

}  // namespace orvane::mCrypt
