// SPDX-License-Identifier: Apache-2.0
#include "platform/read_only_file.h"

#include <cerrno>

#include "platform/win32/wide_text.h"

namespace platform {

namespace {
// ReadFile takes a 32-bit count: larger reads go in pieces of this size.
constexpr size_t kMaxPiece = 1u << 30;
}  // namespace

ReadOnlyFile::~ReadOnlyFile() { Close(); }

bool ReadOnlyFile::Open(const std::string& path) {
    Close();
    std::wstring wide;
    if (!win32::WidenPath(path, wide)) {
        errno = ERROR_INVALID_NAME;
        return false;
    }
    // Others may read it too, but nobody may change it while it is read (a program checking its
    // own image sees the bytes it checked).
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = static_cast<int>(GetLastError());
        return false;
    }
    m_handle = win32::AsValue(file);
    m_position = 0;
    m_path = path;
    return true;
}

void ReadOnlyFile::Close() {
    if (m_handle != -1) CloseHandle(win32::AsHandle(m_handle));
    m_handle = -1;
    m_position = 0;
    m_path.clear();
}

int64_t ReadOnlyFile::Length() const {
    LARGE_INTEGER size{};
    if (m_handle == -1 || !GetFileSizeEx(win32::AsHandle(m_handle), &size)) return -1;
    return static_cast<int64_t>(size.QuadPart);
}

int64_t ReadOnlyFile::ReadAt(int64_t offset, void* buffer, size_t count) const {
    if (m_handle == -1 || offset < 0) {
        errno = ERROR_INVALID_HANDLE;
        return -1;
    }
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        // The offset travels with each read, as pread's does: the handle's own position is
        // never used, so reads from several threads do not disturb each other.
        const uint64_t at = static_cast<uint64_t>(offset) + done;
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(at);
        where.OffsetHigh = static_cast<DWORD>(at >> 32);
        const DWORD want = static_cast<DWORD>(count - done < kMaxPiece ? count - done : kMaxPiece);
        DWORD got = 0;
        if (!ReadFile(win32::AsHandle(m_handle), out + done, want, &got, &where)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF) break;
            errno = static_cast<int>(error);
            return done > 0 ? static_cast<int64_t>(done) : -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<int64_t>(done);
}

}  // namespace platform
