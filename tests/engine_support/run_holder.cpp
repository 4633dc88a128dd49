// SPDX-License-Identifier: Apache-2.0
#include "run_holder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/port_lock.h"

namespace {

bool Locked(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

}  // namespace

RunHolder::~RunHolder() { Release(); }

void RunHolder::Release() {
    m_process.Signal(SIGKILL);
    m_process.Wait(5000);
    if (!m_lockFile.empty()) std::filesystem::remove(m_lockFile);
    m_lockFile.clear();
}

bool RunHolder::Hold(const std::string& device) {
    m_lockFile = platform::PortLock::LockName(device, "");
    if (!m_process.Start("/usr/bin/flock", {m_lockFile, "sleep", "600"})) return false;
    for (int look = 0; look < 500 && !Locked(m_lockFile); ++look) usleep(10000);
    if (!Locked(m_lockFile)) return false;
    // flock(1) opened the file empty: the PID goes in as a run writes it.
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", m_process.Pid());
    std::ofstream file(m_lockFile, std::ios::trunc);
    return static_cast<bool>(file << text << std::flush);
}
