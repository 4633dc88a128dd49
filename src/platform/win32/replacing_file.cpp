// SPDX-License-Identifier: Apache-2.0
#include "platform/replacing_file.h"

#include <atomic>
#include <cstdio>

#include "platform/sys_error.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

std::string ErrorText(DWORD error) { return SysErrorPhrase(static_cast<int>(error)); }

// A name beside finalPath that no other run picks: the process, the time and a counter.
std::string TempName(const std::string& finalPath, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%06lX%04X%02X", static_cast<unsigned long>(GetCurrentProcessId()) & 0xFFFFFF,
                  (static_cast<unsigned>(GetTickCount64()) ^ counter.fetch_add(1)) & 0xFFFF, attempt & 0xFF);
    return finalPath + suffix;
}

}  // namespace

bool ReplacingFile::Create(const std::string& finalPath, std::string& error) {
    Discard();
    std::wstring wideFinal;
    if (!win32::WidenPath(finalPath, wideFinal)) {
        error = "cannot create a file beside " + finalPath + ": not a valid file name";
        return false;
    }
    DWORD failure = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 64; ++attempt) {
        const std::string temp = TempName(finalPath, attempt);
        const std::wstring wide = win32::Widen(temp);
        HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_handle = win32::AsValue(file);
            m_finalPath = finalPath;
            m_tempPath = temp;
            return true;
        }
        failure = GetLastError();
        if (failure != ERROR_FILE_EXISTS) break;
    }
    error = "cannot create a file beside " + finalPath + ": " + ErrorText(failure);
    return false;
}

int ReplacingFile::Write(const uint8_t* data, size_t length) {
    if (m_handle == -1) return ERROR_INVALID_HANDLE;
    size_t done = 0;
    while (done < length) {
        const DWORD want = static_cast<DWORD>(length - done < (1u << 30) ? length - done : (1u << 30));
        DWORD written = 0;
        if (!WriteFile(win32::AsHandle(m_handle), data + done, want, &written, nullptr)) {
            return static_cast<int>(GetLastError());
        }
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return 0;
}

bool ReplacingFile::Commit(std::string& error) {
    if (m_handle == -1) {
        error = "no output file";
        return false;
    }
    HANDLE file = win32::AsHandle(m_handle);
    if (!FlushFileBuffers(file)) {
        const DWORD failure = GetLastError();
        error = "cannot write " + m_tempPath + ": " + ErrorText(failure);
        Discard();
        return false;
    }
    m_handle = -1;
    if (!CloseHandle(file)) {
        const DWORD failure = GetLastError();
        error = "cannot write " + m_tempPath + ": " + ErrorText(failure);
        Discard();
        return false;
    }
    // Every program may run on Windows: nothing to mark. The move replaces the old file whole.
    const std::wstring from = win32::Widen(m_tempPath);
    const std::wstring to = win32::Widen(m_finalPath);
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD failure = GetLastError();
        error = "cannot rename " + m_tempPath + " to " + m_finalPath + ": " + ErrorText(failure);
        Discard();
        return false;
    }
    m_tempPath.clear();
    return true;
}

void ReplacingFile::Discard() {
    if (m_handle != -1) CloseHandle(win32::AsHandle(m_handle));
    m_handle = -1;
    if (!m_tempPath.empty()) DeleteFileW(win32::Widen(m_tempPath).c_str());
    m_tempPath.clear();
}

}  // namespace platform
