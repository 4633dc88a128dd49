// SPDX-License-Identifier: Apache-2.0
#include "platform/stop_signals.h"

#include <csignal>
#include <ctime>
#include <system_error>

namespace platform {

namespace {
sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);  // the terminal closed or the SSH session dropped
    return set;
}
}  // namespace

StopSignalWatch::~StopSignalWatch() { Stop(); }

bool StopSignalWatch::Install(NotifyTarget* target) {
    const sigset_t set = WatchedSignals();
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    try {
        m_thread = std::thread([this, target, set] {
            const timespec poll{0, 100L * 1000 * 1000};  // looks at m_stop ten times a second
            while (!m_stop.load()) {
                const int signal = sigtimedwait(&set, nullptr, &poll);
                if (signal <= 0) continue;
                m_received.store(signal);
                PostTo(target, MESSAGE, static_cast<uintptr_t>(signal));
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void StopSignalWatch::Stop() {
    m_stop.store(true);
    if (m_thread.joinable()) m_thread.join();
}

void KeepRunningOnFailedWrites() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace platform
