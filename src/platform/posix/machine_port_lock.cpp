// SPDX-License-Identifier: Apache-2.0
#include "platform/machine_port_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

namespace platform {

namespace {

// A lock file younger than this whose PID cannot be read yet is taken as being written.
constexpr time_t kUnreadableGraceSeconds = 2;
constexpr int kAttempts = 5;

// The folder every program that honours serial lock files looks in. VEXLOR_LOCK_DIR moves it,
// for tests that must not meet each other's made-up devices.
std::string LockFolder() {
    if (const char* folder = std::getenv("VEXLOR_LOCK_DIR"); folder && *folder) return folder;
    struct stat st {};
    if (::stat("/run/lock", &st) == 0 && S_ISDIR(st.st_mode)) return "/run/lock";
    return "/var/lock";
}

std::string ProgramName(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// A process that has ended but is not yet reaped (a zombie) holds nothing.
bool Alive(int pid) {
    if (::kill(pid, 0) != 0 && errno != EPERM) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;  // no /proc to ask: taken as running
    const size_t name = line.rfind(')');
    return name == std::string::npos || name + 2 >= line.size() || line[name + 2] != 'Z';
}

// The PID in a lock file: ten ASCII digits and a newline (the usual form), or a binary int (an
// old one). 0 when there is none to read.
int ReadPid(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return 0;
    char text[32] = {};
    file.read(text, sizeof text - 1);
    const std::streamsize got = file.gcount();
    int pid = 0;
    if (got == 4 && (text[0] < ' ' || text[3] < ' ')) {
        std::memcpy(&pid, text, sizeof pid);
    } else {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        pid = (end != text && value > 0 && value < INT_MAX) ? static_cast<int>(value) : 0;
    }
    return pid > 0 ? pid : 0;
}

// The lock file's contents are complete once others can see it: written under a temporary name,
// then linked into place, which fails when a lock file is there. A run keeps its file open and
// flock'ed from before it shows: that marks it as a run of this tool (terminal programs do not
// lock their lock files), for every user, who may read it. fd: the open file, on success.
int CreateLockFile(const std::string& folder, const std::string& path, int& fd) {
    static std::atomic<unsigned> counter{0};
    const std::string temporary =
        folder + "/LTMP." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1));
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
    const bool written = ::write(fd, text, static_cast<size_t>(length)) == length && ::fchmod(fd, 0644) == 0 &&
                         ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    int error = written ? 0 : (errno ? errno : EIO);
    if (error == 0 && ::link(temporary.c_str(), path.c_str()) != 0) error = errno;
    ::unlink(temporary.c_str());
    if (error != 0) {
        ::close(fd);
        fd = -1;
    }
    return error;
}

// Whether a lock file is held open and locked by a run of this tool.
bool LockedByRun(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

}  // namespace

std::string MachinePortLock::KeyOf(const std::string& device, const std::string&) {
    // /dev/serial/by-id links and relative names lead to the one device.
    char real[PATH_MAX];
    if (::realpath(device.c_str(), real)) return real;
    return device;
}

std::string MachinePortLock::NameOf(const std::string& key) {
    return LockFolder() + "/LCK.." + key.substr(key.find_last_of('/') + 1);
}

std::optional<Holder> MachinePortLock::HolderOf(const std::string& key) {
    const int pid = ReadPid(NameOf(key));
    if (pid == 0 || pid == ::getpid() || !Alive(pid)) return std::nullopt;
    return Holder{pid, ProgramName(pid)};
}

MachinePortLock::Result MachinePortLock::TryTake(const std::string& key, std::optional<Holder>& holder, bool& byRun,
                                                 int& error) {
    Release();
    holder.reset();
    byRun = false;
    error = 0;
    const std::string folder = LockFolder();
    const std::string path = NameOf(key);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int fd = -1;
        error = CreateLockFile(folder, path, fd);
        if (error == 0) {
            m_taken = true;
            m_name = path;
            m_handle = fd;
            return Result::kTaken;
        }
        if (error != EEXIST) return Result::kFailed;
        const int pid = ReadPid(path);
        if (pid == 0) {
            // Written by a program that creates it first and fills it after: give it a moment.
            struct stat st {};
            if (::stat(path.c_str(), &st) != 0) continue;  // gone meanwhile
            if (std::time(nullptr) - st.st_mtime < kUnreadableGraceSeconds) {
                error = 0;
                return Result::kHeld;
            }
        } else if (pid != ::getpid() && Alive(pid)) {
            holder = Holder{pid, ProgramName(pid)};
            byRun = LockedByRun(path);
            error = 0;
            return Result::kHeld;
        }
        // Stale: its holder ended without removing it (or this process's own, left by a PID's
        // earlier owner). Taken over, as every program of the convention does.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            error = errno;
            return Result::kFailed;
        }
    }
    error = 0;
    return Result::kHeld;  // others keep winning the race for it
}

void MachinePortLock::Release() {
    if (!m_taken) return;
    m_taken = false;
    // Only our own: a file another program put there after ours went stays.
    if (ReadPid(m_name) == ::getpid()) ::unlink(m_name.c_str());
    ::close(static_cast<int>(m_handle));
    m_handle = -1;
    m_name.clear();
}

}  // namespace platform
