#include "load_image.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

bool LoadImage::Write(uint32_t address, std::span<const uint8_t> data) {
    const uint64_t end = static_cast<uint64_t>(address) + data.size();
    if (end > MAX_BYTES) return false;
    if (end > m_bytes.size()) {
        m_bytes.resize(end, 0);
        m_written.resize(end, false);
    }
    std::copy(data.begin(), data.end(), m_bytes.begin() + address);
    std::fill(m_written.begin() + address, m_written.begin() + static_cast<ptrdiff_t>(end), true);
    m_received += data.size();
    return true;
}

void LoadImage::Clear() {
    m_bytes.clear();
    m_written.clear();
}

uint64_t LoadImage::HoleBytes() const {
    return static_cast<uint64_t>(std::count(m_written.begin(), m_written.end(), false));
}

std::string LoadImage::SaveTo(const std::string& path) const {
    const std::string temp = path + ".part";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return "cannot create " + temp + ": " + std::strerror(errno);
    size_t done = 0;
    while (done < m_bytes.size()) {
        const ssize_t n = write(fd, m_bytes.data() + done, m_bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const std::string error = "cannot write " + temp + ": " + std::strerror(errno);
            close(fd);
            unlink(temp.c_str());
            return error;
        }
        done += static_cast<size_t>(n);
    }
    if (close(fd) != 0) {
        const std::string error = "cannot write " + temp + ": " + std::strerror(errno);
        unlink(temp.c_str());
        return error;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string error = "cannot rename " + temp + " to " + path + ": " + std::strerror(errno);
        unlink(temp.c_str());
        return error;
    }
    return {};
}
