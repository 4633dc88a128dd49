// SPDX-License-Identifier: Apache-2.0
#include "stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>

namespace {

// Written by the signal handler; the main loop polls its read end.
int g_wakeWrite = -1;

void OnStopSignal(int) {
    const char byte = 1;
    const ssize_t ignored = write(g_wakeWrite, &byte, 1);
    (void)ignored;
}

}  // namespace

bool InstallStopSignals(int& wakeRead) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    wakeRead = fds[0];
    g_wakeWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        if (sigaction(sig, &action, nullptr) != 0) return false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}
