// SPDX-License-Identifier: Apache-2.0
#include "pseudo_terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string ErrorText(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

bool MakeRawTerminal(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return false;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~HUPCL;
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

PseudoTerminal::~PseudoTerminal() { Close(); }

std::string PseudoTerminal::Open() {
    Close();
    std::string error;
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (m_master < 0) {
        error = ErrorText("posix_openpt");
    } else if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ptsname_r(m_master, name, sizeof name) != 0) {
        error = ErrorText("pseudo-terminal set-up");
    } else if ((m_keeper = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0 || !MakeRawTerminal(m_keeper)) {
        error = ErrorText(name);
    } else {
        const int flags = fcntl(m_master, F_GETFL);
        if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) error = ErrorText("fcntl");
    }
    if (!error.empty()) {
        Close();
        return error;
    }
    m_slavePath = name;
    return {};
}

void PseudoTerminal::Close() {
    if (m_keeper >= 0) close(m_keeper);
    if (m_master >= 0) close(m_master);
    m_keeper = -1;
    m_master = -1;
}
