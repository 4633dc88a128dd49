// SPDX-License-Identifier: Apache-2.0
#include "platform/record_file.h"

#include <cstring>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// Other runs hold the lock only for one write; a lock that does not come within this time
// belongs to somebody who will not let go (a program that opened the file and hangs).
constexpr int kLockWaitMs = 10000;
constexpr int kLockRetryMs = 5;

int WriteAll(HANDLE file, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        const DWORD want = static_cast<DWORD>(text.size() - done < (1u << 30) ? text.size() - done : (1u << 30));
        if (!WriteFile(file, text.data() + done, want, &written, nullptr)) return static_cast<int>(GetLastError());
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return 0;
}

// The whole file's range, locked exclusively, waiting a bounded time for other runs.
int LockWhole(HANDLE file, OVERLAPPED& range) {
    for (int waited = 0;; waited += kLockRetryMs) {
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &range)) {
            return 0;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION || waited >= kLockWaitMs) return static_cast<int>(error);
        ::Sleep(kLockRetryMs);
    }
}

// The file's first line (without its '\n'; a CR before it stays), at most kRecordFirstLineMax bytes of it.
int ReadFirstLine(HANDLE file, std::string& line) {
    char buffer[kRecordFirstLineMax];
    DWORD got = 0;
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return static_cast<int>(GetLastError());
    while (got < sizeof buffer) {
        DWORD n = 0;
        if (!ReadFile(file, buffer + got, static_cast<DWORD>(sizeof buffer) - got, &n, nullptr))
            return static_cast<int>(GetLastError());
        if (n == 0) break;
        got += n;
        if (std::memchr(buffer, '\n', got)) break;
    }
    line.assign(buffer, got);
    if (const size_t end = line.find('\n'); end != std::string::npos) line.erase(end);
    return 0;
}

}  // namespace

int AppendRecord(const std::string& path, const std::string& header, const std::string& record) {
    return AppendRecordFor(path, [&](bool empty, const std::string&, std::string& text) {
        // Header and record in one write: a reader never sees a header without its first row.
        text = empty ? header + record : record;
        return 0;
    });
}

int AppendRecordFor(const std::string& path, const RecordMaker& make) {
    std::wstring wide;
    if (!win32::WidenPath(path, wide)) return ERROR_INVALID_NAME;
    // Write access (not only FILE_APPEND_DATA): a short write is cut off again with SetEndOfFile.
    // Every writer appends under the whole file's lock, so the end found under it is the end.
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    int error = 0;
    OVERLAPPED range{};
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK) {
        error = kRecordNotAFile;
    } else if ((error = LockWhole(file, range)) == 0) {
        std::string firstLine;
        std::string text;
        // Each step runs only when the ones before it went well; the first failure is the answer.
        if (!GetFileSizeEx(file, &size)) error = static_cast<int>(GetLastError());
        if (error == 0 && size.QuadPart > 0) error = ReadFirstLine(file, firstLine);
        if (error == 0) error = make(size.QuadPart == 0, firstLine, text);
        if (error == 0 && !text.empty() && !SetFilePointerEx(file, size, nullptr, FILE_BEGIN))
            error = static_cast<int>(GetLastError());
        if (error == 0 && !text.empty()) {
            error = WriteAll(file, text);
            // Still under the lock: what a short write left is taken back before anyone appends.
            if (error != 0 && SetFilePointerEx(file, size, nullptr, FILE_BEGIN)) SetEndOfFile(file);
        }
        UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &range);
    }
    CloseHandle(file);
    return error;
}

}  // namespace platform
