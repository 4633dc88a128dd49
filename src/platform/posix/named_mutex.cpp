// SPDX-License-Identifier: Apache-2.0
#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

NamedMutex::~NamedMutex() { Close(); }

std::string NamedMutex::LockPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (runtime && *runtime) ? runtime : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder + name + ".lock";
}

NamedMutex::Result NamedMutex::Create(const std::string& name) {
    Close();
    if (name.empty() || name.find('/') != std::string::npos) {
        errno = EINVAL;
        return Result::Failed;
    }
    // O_NOFOLLOW: a planted symlink in a shared /tmp must not redirect us. Read access is all
    // flock needs, so a lock file left by another user still serves as the mutex.
    const std::string path = LockPath(name);
    int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return error == EWOULDBLOCK ? Result::AlreadyExists : Result::Failed;
    }
    m_handle = fd;
    return Result::Created;
}

bool NamedMutex::Close() {
    if (m_handle < 0) return true;
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    return ::close(fd) == 0;
}

}  // namespace platform
