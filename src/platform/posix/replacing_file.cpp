// SPDX-License-Identifier: Apache-2.0
#include "platform/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/sys_error.h"

namespace platform {

bool ReplacingFile::Create(const std::string& finalPath, std::string& error) {
    Discard();
    std::string pattern = finalPath + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot create a file beside " + finalPath + ": " + SysErrorText(errno);
        return false;
    }
    m_handle = fd;
    m_finalPath = finalPath;
    m_tempPath = pattern;
    return true;
}

int ReplacingFile::Write(const uint8_t* data, size_t length) {
    if (m_handle < 0) return EBADF;
    const int fd = static_cast<int>(m_handle);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd, data + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

bool ReplacingFile::Commit(std::string& error) {
    if (m_handle < 0) {
        error = "no output file";
        return false;
    }
    const int fd = static_cast<int>(m_handle);
    const mode_t mask = umask(0);
    umask(mask);
    if (fsync(fd) != 0 || fchmod(fd, 0777 & ~mask) != 0) {
        error = "cannot write " + m_tempPath + ": " + SysErrorText(errno);
        Discard();
        return false;
    }
    m_handle = -1;
    if (::close(fd) != 0) {
        error = "cannot write " + m_tempPath + ": " + SysErrorText(errno);
        Discard();
        return false;
    }
    if (::rename(m_tempPath.c_str(), m_finalPath.c_str()) != 0) {
        error = "cannot rename " + m_tempPath + " to " + m_finalPath + ": " + SysErrorText(errno);
        Discard();
        return false;
    }
    m_tempPath.clear();
    return true;
}

void ReplacingFile::Discard() {
    if (m_handle >= 0) ::close(static_cast<int>(m_handle));
    m_handle = -1;
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
}

}  // namespace platform
