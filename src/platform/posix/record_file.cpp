// SPDX-License-Identifier: Apache-2.0
#include "platform/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace platform {

namespace {

// Other runs hold the lock only for one write; a lock that does not come within this time
// belongs to somebody who will not let go (a program that locked the file and hangs).
constexpr auto kLockWait = std::chrono::seconds(10);
constexpr auto kLockRetry = std::chrono::milliseconds(5);

int WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        errno = 0;
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return errno ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int LockWhole(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return errno;
        if (std::chrono::steady_clock::now() >= deadline) return EWOULDBLOCK;
        std::this_thread::sleep_for(kLockRetry);
    }
    return 0;
}

// Why a non-blocking open failed: a FIFO without a reader answers ENXIO, a device may answer
// almost anything; what is there and is not a regular file is refused as such.
int OpenFailure(const std::string& path, int error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return kRecordNotAFile;
    return error;
}

// The file's first line (without its '\n'; a CR before it stays), at most kRecordFirstLineMax bytes of it.
int ReadFirstLine(int fd, std::string& line) {
    char buffer[kRecordFirstLineMax];
    size_t got = 0;
    while (got < sizeof buffer) {
        const ssize_t n = ::pread(fd, buffer + got, sizeof buffer - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        got += static_cast<size_t>(n);
        if (std::memchr(buffer, '\n', got)) break;
    }
    line.assign(buffer, got);
    if (const size_t end = line.find('\n'); end != std::string::npos) line.erase(end);
    return 0;
}

}  // namespace

int AppendRecord(const std::string& path, const std::string& header, const std::string& record) {
    return AppendRecordFor(path, [&](bool empty, const std::string&, std::string& text) {
        // Header and record in one write: a reader never sees a header without its first row.
        text = empty ? header + record : record;
        return 0;
    });
}

int AppendRecordFor(const std::string& path, const RecordMaker& make) {
    // O_NONBLOCK: a FIFO or a device in the file's place must not hold the open (a FIFO would
    // wait for a reader for ever); it is looked at, and refused, before anything is written.
    // Read too: the maker is shown the file's first line.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return OpenFailure(path, errno);
    // Each step runs only when the ones before it went well; the first failure is the answer.
    struct stat st {};
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (error == 0 && !S_ISREG(st.st_mode)) error = kRecordNotAFile;
    if (error == 0 && ::fcntl(fd, F_SETFL, O_APPEND) != 0) error = errno;
    if (error == 0) error = LockWhole(fd);
    if (error == 0 && ::fstat(fd, &st) != 0) error = errno;  // the size under the lock
    std::string firstLine;
    if (error == 0 && st.st_size > 0) error = ReadFirstLine(fd, firstLine);
    std::string text;
    if (error == 0) error = make(st.st_size == 0, firstLine, text);
    if (error == 0 && !text.empty()) {
        error = WriteAll(fd, text);
        // The lock is still held: what a short write left is taken back before anyone appends.
        if (error != 0) (void)::ftruncate(fd, st.st_size);
    }
    ::close(fd);  // releases the lock
    return error;
}

}  // namespace platform
