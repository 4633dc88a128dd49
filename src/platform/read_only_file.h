// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A file opened read-only, with its own position: seek from the start or the end, read, length.
// Reads go to the kept position (pread, or a read at an offset on Windows), so a short read never
// moves past the file's end.
class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False (with errno set to the system's error number) when the file cannot be opened.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_handle != -1; }
    const std::string& Path() const { return m_path; }

    // Length in bytes, or -1 when not open or the size cannot be read.
    int64_t Length() const;
    int64_t Position() const { return m_position; }
    // Moves to offset from the start; false (position unchanged) for a negative result.
    bool SeekFromStart(int64_t offset);
    // Moves to Length() + offset (offset is usually negative); false for a negative result.
    bool SeekFromEnd(int64_t offset);
    // Reads up to count bytes at the position and moves past them. Returns the number read
    // (short at the end of the file), or -1 on a read error.
    int64_t Read(void* buffer, size_t count);
    // Reads at an absolute offset without moving the position (safe from several threads).
    int64_t ReadAt(int64_t offset, void* buffer, size_t count) const;

private:
    intptr_t m_handle = -1;  // the file descriptor, or the Windows file handle
    int64_t m_position = 0;
    std::string m_path;
};

}  // namespace platform
