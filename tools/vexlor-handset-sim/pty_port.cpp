// SPDX-License-Identifier: Apache-2.0
#include "pty_port.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

std::string ErrorText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

struct RateEntry {
    speed_t speed;
    uint32_t baud;
};

constexpr RateEntry RATES[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},         {B150, 150},
    {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},       {B1800, 1800},
    {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
    {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
    {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
};

}  // namespace

std::string PtyPort::Open() { return m_terminal.Open(); }

void PtyPort::Close() { m_terminal.Close(); }

PtyPort::ReadResult PtyPort::WaitForBytes(int wakeFd, int timeoutMs, bool lookAtTerminal) {
    pollfd fds[2] = {{lookAtTerminal ? m_terminal.Master() : -1, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int ready = poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (ready < 0) {
        if (errno == EINTR) return ReadResult::Timeout;
        m_lastError = ErrorText("poll");
        return ReadResult::Error;
    }
    if (wakeFd >= 0 && (fds[1].revents & POLLIN)) return ReadResult::Woken;
    if (ready == 0) return ReadResult::Timeout;
    return ReadResult::Data;
}

PtyPort::ReadResult PtyPort::ReadArrived(std::span<uint8_t> buffer, size_t& count) {
    count = 0;
    while (count < buffer.size()) {
        const ssize_t n = read(m_terminal.Master(), buffer.data() + count, buffer.size() - count);
        if (n > 0) {
            count += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return ReadResult::Data;
        if (n < 0 && errno == EIO) {
            // No slave descriptor open at all (cannot happen while ours is): nobody on the line.
            if (count == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return ReadResult::Data;
        }
        if (count > 0) return ReadResult::Data;  // the error shows on the next read
        m_lastError = n == 0 ? std::string("pseudo-terminal closed") : ErrorText("read");
        return ReadResult::Error;
    }
    return ReadResult::Data;
}

bool PtyPort::Write(std::span<const uint8_t> bytes, int maxWaitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMs);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_terminal.Master(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            m_lastError = ErrorText("write");
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            m_lastError = "no room in the terminal: nobody reads the port";
            return false;
        }
        pollfd fd = {m_terminal.Master(), POLLOUT, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
    return true;
}

bool PtyPort::WaitUntilTaken(int maxWaitMs) {
    // The slave side's input queue is shared by all its descriptors: ours shows what the tool
    // has not read yet. Written bytes reach that queue a moment after the write returns, so an
    // empty queue counts only once bytes were seen in it or after a grace time.
    constexpr auto GRACE = std::chrono::milliseconds(100);
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::milliseconds(maxWaitMs);
    bool seen = false;
    for (;;) {
        int waiting = 0;
        if (ioctl(m_terminal.Keeper(), FIONREAD, &waiting) != 0) return false;
        const auto now = std::chrono::steady_clock::now();
        seen = seen || waiting > 0;
        if (waiting == 0 && (seen || now - start >= GRACE)) return true;
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::optional<uint32_t> PtyPort::LineRate() const {
    termios settings{};
    if (tcgetattr(m_terminal.Master(), &settings) != 0) return std::nullopt;
    const speed_t speed = cfgetospeed(&settings);
    for (const RateEntry& entry : RATES) {
        if (entry.speed == speed) return entry.baud;
    }
    return std::nullopt;
}
