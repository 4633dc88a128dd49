// SPDX-License-Identifier: Apache-2.0
#include "platform/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

ReadOnlyFile::~ReadOnlyFile() { Close(); }

bool ReadOnlyFile::Open(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    m_handle = fd;
    m_position = 0;
    m_path = path;
    return true;
}

void ReadOnlyFile::Close() {
    if (m_handle >= 0) ::close(static_cast<int>(m_handle));
    m_handle = -1;
    m_position = 0;
    m_path.clear();
}

int64_t ReadOnlyFile::Length() const {
    if (m_handle < 0) return -1;
    struct stat st {};
    if (fstat(static_cast<int>(m_handle), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

int64_t ReadOnlyFile::ReadAt(int64_t offset, void* buffer, size_t count) const {
    if (m_handle < 0 || offset < 0) {
        errno = EBADF;
        return -1;
    }
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        ssize_t n = ::pread(static_cast<int>(m_handle), out + done, count - done,
                            static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? static_cast<int64_t>(done) : -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

}  // namespace platform
