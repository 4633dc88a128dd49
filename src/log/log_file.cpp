#include "log/log_file.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace diaglog {

namespace {

// A truncating copy holds the exclusive lock for a moment (and flock changes a lock by dropping
// it first), so a copy that finds the file locked that way looks again a few times before it
// takes the lock for an appending copy's, which is held for good.
constexpr int kLockTries = 10;
constexpr auto kLockRetryWait = std::chrono::milliseconds(2);

// Without append, the day's file is emptied only when no other process has it open for writing:
// emptying it under a running copy would lose that copy's lines. The lock is then shared.
bool LockForWriting(int fd, bool append) {
    if (append) return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    for (int attempt = 0; attempt < kLockTries; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kLockRetryWait);
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (::ftruncate(fd, 0) != 0) return false;
            if (::flock(fd, LOCK_SH | LOCK_NB) == 0) return true;
            continue;  // another copy took the file in between
        }
        if (errno != EWOULDBLOCK) return false;
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0) return true;  // shared with a running copy
        if (errno != EWOULDBLOCK) return false;
    }
    return false;
}

}  // namespace

bool LogFile::Open(const char* path, bool append) {
    Close();
    if (!path || !*path) return false;
    // O_NONBLOCK only guards the open against a FIFO put in the file's place; it is cleared below.
    int fd = ::open(path, O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ok = ok && LockForWriting(fd, append);
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
