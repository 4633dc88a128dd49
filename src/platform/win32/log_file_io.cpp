// SPDX-License-Identifier: Apache-2.0
#include "platform/log_file_io.h"

#include <mutex>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

HANDLE OpenShared(const std::wstring& path, DWORD access, DWORD share) {
    return CreateFileW(path.c_str(), access, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Empties the day's file, but only when no other copy has it open for writing: its share mode
// would then refuse this open (ERROR_SHARING_VIOLATION), and its lines are kept.
bool EmptyUnlessShared(const std::wstring& path) {
    HANDLE file = OpenShared(path, GENERIC_WRITE, FILE_SHARE_READ);
    if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    const bool ok =
        GetFileType(file) == FILE_TYPE_DISK && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

}  // namespace

LogFileHandle OpenLogFile(const char* path, bool append, int* error) {
    int ignored = 0;
    int& failure = error ? *error : ignored;
    failure = 0;
    std::wstring wide;
    if (!path || !win32::WidenPath(path, wide)) {
        failure = ERROR_INVALID_NAME;
        return kNoLogFile;
    }
    // FILE_APPEND_DATA alone: every write lands whole at the end, whoever wrote before it.
    // Appending keeps other copies from writing the file meanwhile; otherwise they may.
    if (!append && !EmptyUnlessShared(wide)) {
        failure = static_cast<int>(GetLastError());
        return kNoLogFile;
    }
    const DWORD share = append ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    HANDLE file = OpenShared(wide, FILE_APPEND_DATA | SYNCHRONIZE, share);
    if (file == INVALID_HANDLE_VALUE) {
        failure = static_cast<int>(GetLastError());
        return kNoLogFile;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {  // a device or a pipe by the file's name
        CloseHandle(file);
        failure = ERROR_INVALID_FUNCTION;
        return kNoLogFile;
    }
    return win32::AsValue(file);
}

void WriteLogFile(LogFileHandle file, const char* data, size_t size, bool flush) {
    if (file == kNoLogFile || size > 0xFFFFFFFFu) return;
    HANDLE handle = win32::AsHandle(file);
    // Appending writes of two threads can lose a line under Wine: one write at a time in this
    // process (other processes are kept apart by the file's share modes and the lines' size).
    static std::mutex writeMutex;
    std::lock_guard<std::mutex> lock(writeMutex);
    DWORD written = 0;
    WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr);
    if (flush) FlushFileBuffers(handle);
}

void CloseLogFile(LogFileHandle file) {
    if (file != kNoLogFile) CloseHandle(win32::AsHandle(file));
}

}  // namespace platform
