// SPDX-License-Identifier: Apache-2.0
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/posix/posix_serial_line.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > 2147483647 ? 2147483647 : static_cast<int>(left);
}

speed_t SpeedOf(uint32_t baudrate) {
    switch (baudrate) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

// Errors that only say "this device has no modem lines" (a pseudo-terminal).
bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL; }

}  // namespace

PosixSerialLine::PosixSerialLine(int writeStallMs) : m_writeStallMs(writeStallMs) {
    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

PosixSerialLine::~PosixSerialLine() {
    Close(CloseMode::kRestoreSettings);
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

bool IsSupportedBaudrate(uint32_t baudrate) { return SpeedOf(baudrate) != B0; }

std::unique_ptr<SerialLine> MakeSystemSerialLine(int writeStallMs) {
    return std::make_unique<PosixSerialLine>(writeStallMs);
}

SerialLine::Problem ProblemOfError(int error) {
    using Problem = SerialLine::Problem;
    switch (error) {
    case 0: return Problem::kNone;
    case ENOENT:
    case ENODEV:
    case ENXIO: return Problem::kAbsent;
    case EACCES:
    case EPERM:
    case EROFS: return Problem::kNoAccess;
    case EBUSY: return Problem::kInUse;
    case ENOTTY:
    case EISDIR:
    case ENOTDIR:
    case ENOTBLK: return Problem::kNotSerial;
    default: return Problem::kOther;
    }
}

bool IsDeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE || error == ESHUTDOWN;
}

SerialLine::OpenResult PosixSerialLine::Open(const std::string& path, uint32_t baudrate) {
    OpenResult result;
    auto failed = [&](int error) {
        result.error = error;
        result.problem = ProblemOfError(error);
        // A driver that cannot set the rate may well set the next one.
        if (result.step == OpenStep::kApplySettings && error == EINVAL) result.problem = Problem::kRateRefused;
        return result;
    };
    if (IsOpen()) return failed(EISCONN);
    // Another program's serial lock file keeps us off, as it keeps off every program of the
    // convention; a folder this user may not write leaves the other guards below.
    if (m_machineLock.Take(path, "", PortLock::Use::kLine) == PortLock::Result::kHeld) return failed(EBUSY);
    auto closeAndFail = [&](int fd, int error) {
        ::close(fd);
        m_machineLock.Release();
        return failed(error);
    };
    // O_NONBLOCK: a port without CLOCAL yet must not block the open waiting for carrier.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        m_machineLock.Release();
        return failed(error);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return closeAndFail(fd, ENOTTY);  // a regular file or a FIFO would take the handset's bytes without a word
    }
    // Exclusive use: flock keeps out other programs that play by the same rule, TIOCEXCL every
    // other opening (root ignores it). The flag lives on the tty, not on our descriptor, so a
    // failed opening must leave it as found: another program's flag is never cleared here.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return closeAndFail(fd, errno == EWOULDBLOCK ? EBUSY : errno);
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        // Only root gets this far through another program's exclusive flag: that program has it.
        ::flock(fd, LOCK_UN);
        return closeAndFail(fd, EBUSY);
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        const int error = errno;
        ::flock(fd, LOCK_UN);
        return closeAndFail(fd, error);
    }
    if (int error = SetUp(fd, path, baudrate, result.step); error != 0) {
        ::ioctl(fd, TIOCNXCL);
        ::flock(fd, LOCK_UN);
        return closeAndFail(fd, error);
    }
    m_fd.store(fd);
    return result;
}

int PosixSerialLine::SetUp(int fd, const std::string& path, uint32_t baudrate, OpenStep& step) {
    step = OpenStep::kReadSettings;
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) return errno;
    // Later openings of the run find the tool's own settings: the port's own are those found first.
    if (m_originalPath != path) {
        m_original = tio;
        m_originalPath = path;
    }

    step = OpenStep::kApplySettings;
    const speed_t speed = SpeedOf(baudrate);
    if (speed == B0) return EINVAL;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return errno;
    // Bytes written at the old rate before the last close must not go out at the new one.
    if (baudrate != m_baudrate.load()) WaitUntilSent(fd);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return errno;
    // tcsetattr succeeds when any one change took: a rate the driver could not set shows only here.
    struct termios set {};
    if (::tcgetattr(fd, &set) != 0) return errno;
    if (cfgetospeed(&set) != speed) return EINVAL;
    m_baudrate.store(baudrate);
    // Hold DTR and RTS on, as the handset expects; a pseudo-terminal has no modem lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &lines) != 0 && !NoModemLines(errno)) return errno;

    // Stale input only: output may still hold a command the handset has yet to read (such as
    // "at$qcdmg" just before the listener reopens the port).
    step = OpenStep::kPurge;
    if (::tcflush(fd, TCIFLUSH) != 0) return errno;
    return 0;
}

void PosixSerialLine::WaitUntilSent(int fd) const {
    m_output.WaitUntilSent([fd]() -> long {
        int queued = 0;
        return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
    });
}

int PosixSerialLine::Purge() {
    int fd = m_fd.load();
    if (fd < 0) return EBADF;
    return ::tcflush(fd, TCIOFLUSH) == 0 ? 0 : errno;
}

int PosixSerialLine::Close(CloseMode mode) {
    int fd = m_fd.exchange(-1);
    if (fd < 0) return 0;
    if (mode == CloseMode::kRestoreSettings && !m_originalPath.empty()) {
        // A port mapped to somebody's terminal must not stay raw, but its new settings must not
        // reach the last bytes the handset is still to get. HUPCL stays cleared, so that closing
        // never drops DTR under a handset.
        WaitUntilSent(fd);
        struct termios previous = m_original;
        previous.c_cflag &= ~HUPCL;
        ::tcsetattr(fd, TCSANOW, &previous);
        m_originalPath.clear();
        m_baudrate.store(0);
    }
    // The exclusive flag lives on the tty: left set, a later open by a non-root user fails
    // with EBUSY while the other side of a pseudo-terminal stays open.
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    const int error = ::close(fd) != 0 && errno != EINTR ? errno : 0;
    m_machineLock.Release();
    return error;
}

void PosixSerialLine::WakeReader() {
    if (m_wakeFd < 0) return;
    uint64_t one = 1;
    ssize_t ignored = ::write(m_wakeFd, &one, sizeof one);
    (void)ignored;
}

void PosixSerialLine::DiscardWake() {
    if (m_wakeFd < 0) return;
    uint64_t count = 0;
    ssize_t ignored = ::read(m_wakeFd, &count, sizeof count);  // non-blocking: nothing pending is fine
    (void)ignored;
}

int PosixSerialLine::Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) {
    size_t got = 0;
    if (received) *received = 0;
    int fd = m_fd.load();
    if (fd < 0) return EBADF;
    if (capacity == 0) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int result = 0;
    while (got < capacity) {
        int wait = MsUntil(deadline);
        if (got > 0 && settleMs < wait) wait = settleMs;
        struct pollfd fds[2] = {{fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        int ready = ::poll(fds, m_wakeFd >= 0 ? 2 : 1, wait);
        if (ready < 0) {
            if (errno == EINTR) continue;
            result = errno;
            break;
        }
        if (ready == 0) break;  // time-out, or the line went quiet after the first bytes
        if (m_wakeFd >= 0 && (fds[1].revents & POLLIN)) {
            uint64_t count = 0;
            ssize_t ignored = ::read(m_wakeFd, &count, sizeof count);
            (void)ignored;
            break;
        }
        if (fds[0].revents & POLLNVAL) {
            result = EBADF;
            break;
        }
        if (fds[0].revents & POLLIN) {
            ssize_t n = ::read(fd, out + got, capacity - got);
            if (n > 0) {
                got += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            result = n == 0 ? EIO : errno;  // readable but end of file: the device has gone
            break;
        }
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            result = EIO;
            break;
        }
    }
    if (received) *received = got;
    // Bytes that arrived before the device went are still handed over; the error shows next time.
    return got > 0 ? 0 : result;
}

int PosixSerialLine::Write(const void* data, size_t length, size_t* written) {
    size_t done = 0;
    if (written) *written = 0;
    int fd = m_fd.load();
    if (fd < 0) return EBADF;
    const auto* in = static_cast<const unsigned char*>(data);
    const int stallMs = m_writeStallMs;
    Clock::time_point stallDeadline = Clock::now() + std::chrono::milliseconds(stallMs);
    int result = 0;
    while (done < length) {
        ssize_t n = ::write(fd, in + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            m_output.Wrote(static_cast<size_t>(n), m_baudrate.load());
            stallDeadline = Clock::now() + std::chrono::milliseconds(stallMs);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            result = errno;
            break;
        }
        int wait = MsUntil(stallDeadline);
        if (wait == 0) {
            result = ETIMEDOUT;
            break;
        }
        struct pollfd pfd = {fd, POLLOUT, 0};
        int ready = ::poll(&pfd, 1, wait);
        if (ready < 0 && errno != EINTR) {
            result = errno;
            break;
        }
        if (ready > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(pfd.revents & POLLOUT)) {
            result = (pfd.revents & POLLNVAL) ? EBADF : EIO;
            break;
        }
    }
    if (written) *written = done;
    return result;
}

}  // namespace platform
