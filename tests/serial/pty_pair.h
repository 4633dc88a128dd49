// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <string>

// A pseudo-terminal for tests that play the handset themselves: the master end is the
// handset's line, Slave() the device the tool opens. A descriptor of the slave stays open here
// so the master never reads EIO while the tool has the port closed.
class PtyPair {
public:
    PtyPair() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) return;
        char name[128];
        if (ptsname_r(m_master, name, sizeof name) != 0) return;
        m_slave = name;
        m_keeper = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        struct termios tio {};
        if (tcgetattr(m_master, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_master, TCSANOW, &tio);
        }
    }
    ~PtyPair() {
        CloseMaster();
        if (m_keeper >= 0) close(m_keeper);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return m_master >= 0 && m_keeper >= 0; }
    int Master() const { return m_master; }
    const std::string& Slave() const { return m_slave; }
    void CloseMaster() {
        if (m_master >= 0) close(m_master);
        m_master = -1;
    }
    // Bytes the master wrote that wait on the tool's side, not yet read by anyone.
    size_t Unread() const {
        int count = 0;
        return ioctl(m_keeper, FIONREAD, &count) == 0 && count > 0 ? static_cast<size_t>(count) : 0;
    }
    // The line rate the tool set, as the master sees it.
    speed_t Rate() const {
        struct termios tio {};
        tcgetattr(m_master, &tio);
        return cfgetospeed(&tio);
    }

private:
    int m_master = -1;
    int m_keeper = -1;
    std::string m_slave;
};
