// SPDX-License-Identifier: Apache-2.0
#include "platform/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

int WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return errno ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

int AppendRecord(const std::string& path, const std::string& header, const std::string& record) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) return errno;
    int error = 0;
    struct stat st {};
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    } else {
        // Header and record in one write: a reader never sees a header without its first row.
        error = WriteAll(fd, st.st_size == 0 ? header + record : record);
    }
    ::close(fd);  // releases the lock
    return error;
}

}  // namespace platform
