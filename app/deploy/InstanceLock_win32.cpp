// The instance lock on Windows: the lock file held open without sharing.
#include "InstanceLock.h"

#include <windows.h>

#include "runtime/SystemText.h"
#include "runtime/Win32Error.h"

namespace orvane::mCrypt {

void InstanceLock::Acquire(const std::string& lockPath, const std::string& appDir) {
    Release();
    // No sharing: while this copy holds the file, another cannot open it at all. Read access
    // only and the link itself rather than its target: nothing planted at the name is changed.
    HANDLE file = CreateFileA(lockPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            throw RuntimeError(
                ErrorNumber::FileAlreadyOpen,
                SystemText("un'altra copia di Orvane è già in esecuzione in ") + appDir);
        throw Win32FileFailure(error, "impossibile aprire il file di blocco", lockPath);
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
}

void InstanceLock::Release() {
    if (handle_ == -1) return;
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

}  // namespace orvane::mCrypt
