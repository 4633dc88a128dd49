// SPDX-License-Identifier: Apache-2.0
#include "chaos_relay.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kReadSize = 4096;
constexpr size_t kHeldMax = 1 << 20;  // answers the tool never takes are not kept for ever
constexpr int kIdleWaitMs = 1000;

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

std::string ErrorText(const std::string& what) { return what + ": " + std::strerror(errno); }

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

ChaosRelay::~ChaosRelay() { Close(); }

void ChaosRelay::Close() {
    if (m_handset >= 0) close(m_handset);
    m_handset = -1;
    m_tool.Close();
}

std::string ChaosRelay::Open(const std::string& handsetDevice) {
    Close();
    m_handset = open(handsetDevice.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_handset < 0) return ErrorText(handsetDevice);
    if (!MakeRawTerminal(m_handset) || !SetNonBlocking(m_handset)) return ErrorText(handsetDevice);
    return m_tool.Open();
}

bool ChaosRelay::Forward(int from, int to) {
    uint8_t buffer[kReadSize];
    const ssize_t n = read(from, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (n <= 0) return false;
    // A wire carries the rate too: the handset sees the bytes at the rate the tool sent them.
    CarryRate(from, to);
    size_t done = 0;
    while (done < static_cast<size_t>(n)) {
        const ssize_t w = write(to, buffer + done, static_cast<size_t>(n) - done);
        if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd wait{to, POLLOUT, 0};
            poll(&wait, 1, 100);
            continue;
        }
        if (w <= 0) return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

void ChaosRelay::CarryRate(int from, int to) {
    termios tool{};
    termios handset{};
    if (tcgetattr(from, &tool) != 0 || tcgetattr(to, &handset) != 0) return;
    const speed_t rate = cfgetospeed(&tool);
    if (cfgetospeed(&handset) == rate) return;
    if (cfsetspeed(&handset, rate) == 0) tcsetattr(to, TCSANOW, &handset);
}

bool ChaosRelay::FlushHeld() {
    while (!m_held.empty()) {
        const ssize_t w = write(m_tool.Master(), m_held.data(), m_held.size());
        if (w < 0 && (errno == EAGAIN || errno == EINTR)) return true;
        if (w <= 0) return false;
        m_held.erase(m_held.begin(), m_held.begin() + w);
    }
    return true;
}

ChaosRelay::End ChaosRelay::Run(int wakeFd, ChaosPlan& plan, std::FILE* trace) {
    const Clock::time_point start = Clock::now();
    Clock::time_point releaseAt = start;
    for (;;) {
        const Clock::time_point now = Clock::now();
        int waitMs = kIdleWaitMs;
        if (!m_held.empty()) {
            waitMs =
                now >= releaseAt
                    ? 20  // the tool's side is full: look again soon
                    : static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(releaseAt - now).count()) +
                          1;
        }
        pollfd fds[3] = {{wakeFd, POLLIN, 0}, {m_tool.Master(), POLLIN, 0}, {m_handset, POLLIN, 0}};
        if (poll(fds, 3, waitMs) < 0) {
            if (errno == EINTR) continue;
            m_lastError = ErrorText("poll");
            return End::Error;
        }
        if (fds[0].revents) return End::Stopped;
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            if (!Forward(m_tool.Master(), m_handset)) {
                m_lastError = ErrorText("relaying to the handset");
                return End::HandsetGone;
            }
        }
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            std::vector<uint8_t> piece(kReadSize);
            const ssize_t n = read(m_handset, piece.data(), piece.size());
            if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
                m_lastError = "the handset's terminal closed";
                return End::HandsetGone;
            }
            piece.resize(n > 0 ? static_cast<size_t>(n) : 0);
            const ChaosPlan::Decision decision = plan.Apply(piece);
            if (decision.fault != ChaosPlan::Fault::None && trace) {
                std::fprintf(trace, "%8lld chaos: %s\n", MillisecondsSince(start), decision.note.c_str());
                std::fflush(trace);
            }
            if (decision.fault == ChaosPlan::Fault::Disconnect) return End::LineDropped;
            if (decision.delayMs > 0) {
                releaseAt = std::max(releaseAt, Clock::now()) + std::chrono::milliseconds(decision.delayMs);
            }
            if (m_held.size() + piece.size() <= kHeldMax) m_held.insert(m_held.end(), piece.begin(), piece.end());
        }
        if (Clock::now() >= releaseAt && !FlushHeld()) {
            m_lastError = ErrorText("relaying to the tool");
            return End::Error;
        }
    }
}
