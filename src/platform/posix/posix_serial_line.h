// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <termios.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/output_clock.h"
#include "platform/port_lock.h"
#include "platform/serial_line.h"

namespace platform {

// The serial line over termios, standing in for the Windows COM handle. Errors are errno values.
// A vanished device (hang-up, end of file, EIO) is an error, never an endless stream of empty
// reads.
class PosixSerialLine : public SerialLine {
public:
    explicit PosixSerialLine(int writeStallMs = kDefaultWriteStallMs);
    ~PosixSerialLine() override;
    PosixSerialLine(const PosixSerialLine&) = delete;
    PosixSerialLine& operator=(const PosixSerialLine&) = delete;

    // open(O_RDWR | O_NOCTTY | O_CLOEXEC), exclusively: TIOCEXCL plus flock(LOCK_EX | LOCK_NB)
    // (EBUSY when another program holds it); ENOTTY for anything but a character device. Then
    // tcgetattr (kept as the settings to put back, from the run's first opening), raw 8N1 with
    // CLOCAL | CREAD, no flow control, HUPCL cleared, VMIN = VTIME = 0 at the rate (EINVAL for a
    // rate termios lacks or the driver refuses), DTR and RTS raised where the device has modem
    // lines (a pseudo-terminal has none: that is not an error), and the input queue flushed. A
    // rate change waits until the bytes written before have left. EISCONN if already open.
    OpenResult Open(const std::string& path, uint32_t baudrate) override;
    // Releases exclusive use (TIOCNXCL, flock) and closes; with kRestoreSettings first waits (at
    // most OutputClock's limits) until the output has left and puts back the settings the run
    // found (HUPCL excepted: a dropped DTR can reset the handset).
    int Close(CloseMode mode) override;
    bool IsOpen() const override { return m_fd.load() >= 0; }

    // EBADF when not open; EIO when the device has gone (hang-up or end of file).
    int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) override;
    // ETIMEDOUT when the device takes no byte for the write stall limit; EIO when it has gone.
    int Write(const void* data, size_t length, size_t* written) override;

    void WakeReader() override;
    void DiscardWake() override;

    // Discards unsent and unread data (tcflush TCIOFLUSH).
    int Purge();

private:
    // Steps of Open after the device is open; the error of the failed step.
    int SetUp(int fd, const std::string& path, uint32_t baudrate, OpenStep& step);
    // Waits until what was written has left the line (bounded).
    void WaitUntilSent(int fd) const;

    std::atomic<int> m_fd{-1};
    int m_wakeFd = -1;  // eventfd in every read's poll set; lives as long as the object
    const int m_writeStallMs;
    std::atomic<uint32_t> m_baudrate{0};  // the rate the line runs at now (0: never set)
    OutputClock m_output;
    struct termios m_original {};  // the settings found at the run's first opening
    std::string m_originalPath;    // the device they belong to; empty: none kept
    PortLock m_machineLock;        // the port for this process on the whole machine while open
};

}  // namespace platform
