// File output for the log on Windows: whole appends through CreateFileA, never through a
// symbolic link or other reparse point; deletion.
#include "form/FileOutput.h"

#include <windows.h>

#include "runtime/Win32Error.h"

// windows.h names DeleteFileA this way; the program's own function keeps its name.
#undef DeleteFile

namespace orvane {

namespace {

// Opens the file itself, not what a link at its place points to; a link is refused.
HANDLE OpenForAppending(const std::string& path) {
    // Append access only: every write goes to the file's end.
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw Win32FileFailure(GetLastError(), "impossibile scrivere", path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(file);
        throw Win32FileFailure(ERROR_ACCESS_DENIED,
                               "scrittura rifiutata attraverso un collegamento", path);
    }
    return file;
}

void WriteAndClose(HANDLE file, const std::string& path, const std::string& text) {
    std::size_t done = 0;
    DWORD error = 0;
    while (done < text.size() && error == 0) {
        DWORD written = 0;
        if (!WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr))
            error = GetLastError();
        else if (written == 0)
            error = ERROR_DISK_FULL;
        done += written;
    }
    if (!CloseHandle(file) && error == 0) error = GetLastError();
    if (error != 0) throw Win32FileFailure(error, "impossibile scrivere", path);
}

}  // namespace

void AppendToFile(const std::string& path, const std::string& text) {
    WriteAndClose(OpenForAppending(path), path, text);
}

void DeleteFile(const std::string& path) {
    if (DeleteFileA(path.c_str())) return;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        throw Win32FileFailure(error, "impossibile eliminare", path);
}

}  // namespace orvane
