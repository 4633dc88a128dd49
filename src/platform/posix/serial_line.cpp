// SPDX-License-Identifier: Apache-2.0
#include "platform/posix/posix_serial_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

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

PosixSerialLine::PosixSerialLine() { m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

PosixSerialLine::~PosixSerialLine() {
    Close();
    if (m_wakeFd >= 0) ::close(m_wakeFd);
}

bool IsSupportedBaudrate(uint32_t baudrate) { return SpeedOf(baudrate) != B0; }

std::unique_ptr<SerialLine> MakeSystemSerialLine() { return std::make_unique<PosixSerialLine>(); }

SerialLine::Problem PosixSerialLine::ProblemOf(int error) const {
    switch (error) {
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

int PosixSerialLine::Open(const std::string& path) {
    if (IsOpen()) return EISCONN;
    // O_NONBLOCK: a port without CLOCAL yet must not block the open waiting for carrier.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(fd);
        return ENOTTY;  // a regular file or a FIFO would take the handset's bytes without a word
    }
    // Exclusive use: TIOCEXCL keeps other opens out (root ignores it), flock keeps out other
    // programs that play by the same rule even where TIOCEXCL cannot be set.
    if (::ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY) {
        int error = errno;
        ::close(fd);
        return error;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return error;
    }
    m_restore = false;
    m_fd.store(fd);
    return 0;
}

int PosixSerialLine::ReadSettings() {
    int fd = m_fd.load();
    if (fd < 0) return EBADF;
    if (::tcgetattr(fd, &m_settings) != 0) return errno;
    m_original = m_settings;
    m_restore = true;
    return 0;
}

int PosixSerialLine::ApplySettings(uint32_t baudrate) {
    int fd = m_fd.load();
    if (fd < 0) return EBADF;
    speed_t speed = SpeedOf(baudrate);
    if (speed == B0) return EINVAL;
    struct termios tio = m_settings;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) return errno;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return errno;
    m_settings = tio;
    // Hold DTR and RTS on, as the handset expects; a pseudo-terminal has no modem lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &lines) != 0 && !NoModemLines(errno)) return errno;
    return 0;
}

int PosixSerialLine::Purge() {
    int fd = m_fd.load();
    if (fd < 0) return EBADF;
    return ::tcflush(fd, TCIOFLUSH) == 0 ? 0 : errno;
}

int PosixSerialLine::PurgeInput() {
    int fd = m_fd.load();
    if (fd < 0) return EBADF;
    return ::tcflush(fd, TCIFLUSH) == 0 ? 0 : errno;
}

int PosixSerialLine::Close() {
    int fd = m_fd.exchange(-1);
    if (fd < 0) return 0;
    if (m_restore) {
        // A port mapped to somebody's terminal must not stay raw. HUPCL stays cleared, so that
        // closing never drops DTR under a handset.
        struct termios previous = m_original;
        previous.c_cflag &= ~HUPCL;
        ::tcsetattr(fd, TCSANOW, &previous);
        m_restore = false;
    }
    // The exclusive flag lives on the tty: left set, a later open by a non-root user fails
    // with EBUSY while the other side of a pseudo-terminal stays open.
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    if (::close(fd) != 0 && errno != EINTR) return errno;
    return 0;
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
    const int stallMs = m_writeStallMs.load();
    Clock::time_point stallDeadline = Clock::now() + std::chrono::milliseconds(stallMs);
    int result = 0;
    while (done < length) {
        ssize_t n = ::write(fd, in + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
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
