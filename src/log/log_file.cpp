#include "log/log_file.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace diaglog {

bool LogFile::Open(const char* path, bool append) {
    Close();
    if (!path || !*path) return false;
    // O_NONBLOCK only guards the open against a FIFO put in the file's place; it is cleared below.
    int fd = ::open(path, O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ok = ok && ::flock(fd, (append ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0;
    ok = ok && (append || ::ftruncate(fd, 0) == 0);
    ok = ok && ::fcntl(fd, F_SETFL, O_APPEND) == 0;
    if (!ok) {
        ::close(fd);
        return false;
    }
    m_fd.store(fd);
    return true;
}

namespace {
void WriteWhole(int fd, const char* data, size_t size, bool flush) {
    ssize_t n;
    do {
        n = ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (flush) ::fdatasync(fd);
}
}  // namespace

bool LogFile::Write(const char* data, size_t size, bool flush) {
    // Announce first, then look at the descriptor: Seal does the opposite, so one of us sees
    // the other (both sequentially consistent).
    m_inFlight.fetch_add(1);
    int fd = m_fd.load();
    if (fd >= 0) WriteWhole(fd, data, size, flush);
    m_inFlight.fetch_sub(1);
    return fd >= 0;
}

void LogFile::Seal() {
    int fd = m_fd.exchange(-1);
    if (fd < 0) return;
    m_sealedFd = fd;
    // Writers hold the count only for one write (and a flush); closing is rare.
    for (int spins = 0; m_inFlight.load() != 0; ++spins) {
        if (spins < 64) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
}

void LogFile::WriteSealed(const char* data, size_t size, bool flush) {
    if (m_sealedFd >= 0) WriteWhole(m_sealedFd, data, size, flush);
}

void LogFile::Close() {
    Seal();
    if (m_sealedFd >= 0) ::close(m_sealedFd);
    m_sealedFd = -1;
}

}  // namespace diaglog
