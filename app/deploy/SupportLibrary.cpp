// Deploying the support library: the file written whole, loaded, bound by name, and removed.
#include "SupportLibrary.h"

#include <climits>

#include <raradozo/raradozo.h>

#include "runtime/RuntimeError.h"

namespace orvane::mCrypt {

namespace {

constexpr const char* EntryNames[] = {"c_CenterForm", "c_DeCrypt", "c_DeCryptBuffer"};

int32_t CountOf(std::size_t size) {
    if (size > INT32_MAX) throw RuntimeError(ErrorNumber::Overflow);
    return static_cast<int32_t>(size);
}

}  // namespace

void SupportLibrary::Deploy(const std::string& path, std::span<const unsigned char> image) {
    Withdraw();
    path_ = path;
    owner_ = CurrentProcess();
    const FileIdentity written = ReplaceFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()), 0600,
        Durability::Transient);
    written_ = true;
    Load(written);
}

void SupportLibrary::Withdraw() {
    if (owner_ != CurrentProcess()) return;
    Unload();
    if (written_) DeleteQuietly(path_);  // errors ignored: the file may be gone already
    written_ = false;
    path_.clear();
    owner_ = 0;
}

void* SupportLibrary::Entry(LibraryEntry entry) {
    if (handle_ == nullptr)
        throw RuntimeError(ErrorNumber::DllLoadError, "libreria di supporto non caricata");
    const auto index = static_cast<std::size_t>(entry);
    void*& slot = entries_[index];
    if (slot == nullptr) {
        slot = LookUp(EntryNames[index]);
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
    return TakeLibraryString(decrypt(text.data(), CountOf(text.size())));
}

void LibraryDecryptBuffer(std::string& buffer, const std::string& key) {
    const auto decryptBuffer = reinterpret_cast<decltype(&c_DeCryptBuffer)>(
        TheDeployment().library.Entry(LibraryEntry::DeCryptBuffer));
    decryptBuffer(reinterpret_cast<unsigned char*>(buffer.data()), CountOf(buffer.size()),
                  key.c_str());
}

}  // namespace orvane::mCrypt
