// SPDX-License-Identifier: Apache-2.0
#include "platform/log_file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {

namespace {

// A truncating copy holds the exclusive lock for a moment (and flock changes a lock by dropping
// it first), so a copy that finds the file locked that way looks again a few times before it
// takes the lock for an appending copy's, which is held for good.
constexpr int kLockTries = 10;
constexpr auto kLockRetryWait = std::chrono::milliseconds(2);

// Advisory flock locks stand in for the share modes. Without append, the day's file is emptied
// only when no other process has it open for writing: emptying it under a running copy would
// lose that copy's lines. The lock is then shared.
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

LogFileHandle OpenLogFile(const char* path, bool append, int* error) {
    int ignored = 0;
    int& failure = error ? *error : ignored;
    failure = 0;
    if (!path || !*path) {
        failure = ENOENT;
        return kNoLogFile;
    }
    // O_NONBLOCK only guards the open against a FIFO put in the file's place; it is cleared below.
    int fd = ::open(path, O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        failure = errno;
        return kNoLogFile;
    }
    struct stat st {};
    errno = 0;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        ok = false;
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    ok = ok && LockForWriting(fd, append);
    ok = ok && ::fcntl(fd, F_SETFL, O_APPEND) == 0;
    if (!ok) {
        failure = errno ? errno : EWOULDBLOCK;
        ::close(fd);
        return kNoLogFile;
    }
    return fd;
}

void WriteLogFile(LogFileHandle file, const char* data, size_t size, bool flush) {
    const int fd = static_cast<int>(file);
    ssize_t n;
    do {
        n = ::write(fd, data, size);
    } while (n < 0 && errno == EINTR);
    if (flush) ::fdatasync(fd);
}

void CloseLogFile(LogFileHandle file) {
    if (file != kNoLogFile) ::close(static_cast<int>(file));
}

}  // namespace platform
