// SPDX-License-Identifier: Apache-2.0
#include "platform/file_holder.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/machine_port_lock.h"

namespace platform {

namespace {

bool IsNumber(const char* text) {
    if (!*text) return false;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return false;
    }
    return true;
}

std::string ProgramName(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// A lock line reads "1: FLOCK  ADVISORY  WRITE 1234 00:05:123 0 EOF": the holder's pid, then
// the locked file as major:minor (hexadecimal) of its file system and its inode number.
std::optional<int> LockHolder(const struct stat& device) {
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, pid, file;
        if (!(fields >> id >> kind >> mode >> access)) continue;
        if (access == "->") continue;  // a waiter, not a holder
        if (!(fields >> pid >> file)) continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        const int holder = std::atoi(pid.c_str());
        if (holder <= 0 || holder == getpid()) continue;
        if (major == major(device.st_dev) && minor == minor(device.st_dev) && inode == device.st_ino) return holder;
    }
    return std::nullopt;
}

// The first process with a descriptor on the device (the same device number).
std::optional<int> OpenFileHolder(const struct stat& device) {
    DIR* proc = opendir("/proc");
    if (!proc) return std::nullopt;
    std::optional<int> found;
    const int self = getpid();
    while (!found) {
        struct dirent* entry = readdir(proc);
        if (!entry) break;
        if (!IsNumber(entry->d_name)) continue;
        const int pid = std::atoi(entry->d_name);
        if (pid == self) continue;
        const std::string fdFolder = std::string("/proc/") + entry->d_name + "/fd";
        DIR* fds = opendir(fdFolder.c_str());
        if (!fds) continue;  // another user's process: not ours to see
        while (struct dirent* fd = readdir(fds)) {
            if (!IsNumber(fd->d_name)) continue;
            struct stat target {};
            if (stat((fdFolder + "/" + fd->d_name).c_str(), &target) != 0) continue;
            if (S_ISCHR(target.st_mode) && target.st_rdev == device.st_rdev) {
                found = pid;
                break;
            }
        }
        closedir(fds);
    }
    closedir(proc);
    return found;
}

// The pid in a serial lock file of a process that still runs: the one this tool keeps, and the
// older folder some programs still use.
std::optional<int> SerialLockFileHolder(const std::string& device) {
    if (auto holder = MachinePortLock::HolderOf(MachinePortLock::KeyOf(device, ""))) return holder->pid;
    const std::string name = device.substr(device.find_last_of('/') + 1);
    if (name.empty()) return std::nullopt;
    std::ifstream lock("/var/lock/LCK.." + name, std::ios::binary);
    char text[16] = {};
    if (!lock || !lock.read(text, sizeof text - 1).gcount()) return std::nullopt;
    const int pid = std::atoi(text);
    // A stale lock file of a process that ended holds nothing.
    if (pid > 0 && pid != getpid() && (kill(pid, 0) == 0 || errno == EPERM)) return pid;
    return std::nullopt;
}

std::optional<Holder> Named(std::optional<int> pid) {
    if (!pid) return std::nullopt;
    return Holder{*pid, ProgramName(*pid)};
}

}  // namespace

std::optional<Holder> FindLockHolder(const std::string& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return std::nullopt;
    std::optional<int> pid = LockHolder(st);
    if (!pid && S_ISCHR(st.st_mode)) pid = SerialLockFileHolder(path);
    return Named(pid);
}

std::optional<Holder> FindHolder(const std::string& path) {
    if (auto holder = FindLockHolder(path)) return holder;
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return std::nullopt;
    return Named(OpenFileHolder(st));
}

bool MayReadAndWrite(const std::string& path) { return access(path.c_str(), R_OK | W_OK) == 0; }

}  // namespace platform
