// Atomic file replacement on Windows: an exclusive temporary file, flushed, moved over the target.
#include "runtime/SafeFile.h"

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <string>

#include "runtime/Win32Error.h"

namespace orvane {

namespace {

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { CloseNow(); }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes now and reports close's own failure.
    bool CloseNow() {
        if (!valid()) return true;
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

  private:
    HANDLE handle_;
};

// The running user's security identifier as text ("S-1-5-21-..."), empty if unknown.
std::string CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    std::string sid;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    char* text = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

// Owner-only access: the running user and the system, nobody else; nothing inherited from the
// folder. Without a known user the folder's defaults apply.
class OwnerOnly {
  public:
    OwnerOnly() {
        const std::string user = CurrentUserSid();
        if (user.empty()) return;
        const std::string sddl = "D:P(A;;FA;;;" + user + ")(A;;FA;;;SY)";
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                 &descriptor_, nullptr)) {
            attributes_.nLength = sizeof attributes_;
            attributes_.lpSecurityDescriptor = descriptor_;
        }
    }
    ~OwnerOnly() {
        if (descriptor_) LocalFree(descriptor_);
    }
    OwnerOnly(const OwnerOnly&) = delete;
    OwnerOnly& operator=(const OwnerOnly&) = delete;
    SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

std::string RandomSuffix() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    char text[32];
    std::snprintf(text, sizeof text, "%08lx%08lx", GetCurrentProcessId(),
                  static_cast<unsigned long>(counter.QuadPart ^ GetTickCount()));
    return text;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::string DirectoryOf(const std::string& path) {
    const auto slash = LastSeparator(path);
    return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

FileIdentity ReplaceFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                                   Durability durability, Ownership) {
    const bool flush = durability == Durability::Flushed;
    const std::string directory = DirectoryOf(path);
    const auto slash = LastSeparator(path);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    OwnerOnly ownerOnly;
    SECURITY_ATTRIBUTES* security = (mode & 077) == 0 ? ownerOnly.get() : nullptr;
    std::string temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = directory + "." + base + "." + RandomSuffix() + ".tmp";
        // CREATE_NEW fails on anything already there, a symbolic link included.
        handle = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, security, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            throw Win32FileFailure(GetLastError(), "impossibile scrivere", path);
    }
    if (handle == INVALID_HANDLE_VALUE)
        throw Win32FileFailure(ERROR_FILE_EXISTS, "impossibile scrivere", path);
    FileHandle file(handle);

    BY_HANDLE_FILE_INFORMATION info{};
    DWORD failure = 0;
    if (!WriteAll(file.get(), bytes) || (flush && !FlushFileBuffers(file.get())) ||
        !GetFileInformationByHandle(file.get(), &info) || !file.CloseNow() ||
        !MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | (flush ? MOVEFILE_WRITE_THROUGH : 0)))
        failure = GetLastError();
    if (failure != 0) {
        file.CloseNow();
        DeleteFileA(temporary.c_str());
        throw Win32FileFailure(failure, "impossibile scrivere", path);
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

FileChangeLock::FileChangeLock(const std::string& path) {
    const auto slash = LastSeparator(path);
    lockPath_ = DirectoryOf(path) + "." +
                (slash == std::string::npos ? path : path.substr(slash + 1)) + ".lock";
    // Opened unshared and deleted when closed: the next process waits until the holder is done,
    // and the system removes the file even after a crash. Access denied is also what a folder
    // that cannot be written answers, so the wait is bounded (a minute).
    for (int attempt = 0;; ++attempt) {
        const HANDLE handle =
            CreateFileA(lockPath_.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            handle_ = reinterpret_cast<std::intptr_t>(handle);
            return;
        }
        const DWORD error = GetLastError();
        // Held, or being deleted by the holder that is just done.
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || attempt == 3000)
            throw Win32FileFailure(error, "cannot lock", path);
        Sleep(20);
    }
}

FileChangeLock::~FileChangeLock() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

}  // namespace orvane
