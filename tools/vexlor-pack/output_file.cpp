#include "output_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sys_error.h"

namespace {

constexpr size_t kBufferSize = 256 * 1024;

std::string ErrorText(int error) { return platform::SysErrorText(error); }

}  // namespace

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Create(const std::string& finalPath, std::string& error) {
    Discard();
    std::string pattern = finalPath + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        error = "cannot create a file beside " + finalPath + ": " + ErrorText(errno);
        return false;
    }
    m_fd = fd;
    m_finalPath = finalPath;
    m_tempPath = pattern;
    m_writeError = 0;
    m_buffer.reserve(kBufferSize);
    return true;
}

bool OutputFile::Flush() {
    size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_writeError = errno;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    m_buffer.clear();
    return true;
}

bool OutputFile::Write(const uint8_t* data, size_t length) {
    if (m_fd < 0 || m_writeError != 0) return false;
    while (length > 0) {
        const size_t take = std::min(length, kBufferSize - m_buffer.size());
        m_buffer.insert(m_buffer.end(), data, data + take);
        data += take;
        length -= take;
        if (m_buffer.size() == kBufferSize && !Flush()) return false;
    }
    return true;
}

bool OutputFile::Commit(std::string& error) {
    if (m_fd < 0) {
        error = "no output file";
        return false;
    }
    const mode_t mask = umask(0);
    umask(mask);
    if (!Flush() || fsync(m_fd) != 0 || fchmod(m_fd, 0777 & ~mask) != 0) {
        error = "cannot write " + m_tempPath + ": " + ErrorText(m_writeError ? m_writeError : errno);
        return false;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        error = "cannot write " + m_tempPath + ": " + ErrorText(errno);
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    if (::rename(m_tempPath.c_str(), m_finalPath.c_str()) != 0) {
        error = "cannot rename " + m_tempPath + " to " + m_finalPath + ": " + ErrorText(errno);
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
        return false;
    }
    m_tempPath.clear();
    return true;
}

void OutputFile::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_tempPath.empty()) ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
    m_buffer.clear();
}
