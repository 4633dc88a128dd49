// SPDX-License-Identifier: Apache-2.0
#include "platform/read_only_file.h"

// The position is the program's own (reads go through ReadAt): the same on every system.
namespace platform {

bool ReadOnlyFile::SeekFromStart(int64_t offset) {
    if (!IsOpen() || offset < 0) return false;
    m_position = offset;
    return true;
}

bool ReadOnlyFile::SeekFromEnd(int64_t offset) {
    int64_t length = Length();
    if (length < 0) return false;
    return SeekFromStart(length + offset);
}

int64_t ReadOnlyFile::Read(void* buffer, size_t count) {
    int64_t n = ReadAt(m_position, buffer, count);
    if (n > 0) m_position += n;
    return n;
}

}  // namespace platform
