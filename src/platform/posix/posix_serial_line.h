// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <termios.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/serial_line.h"

namespace platform {

// The serial line over termios, standing in for the Windows COM handle of the design. Errors are
// errno values. A vanished device (hang-up, end of file, EIO) is an error, never an endless
// stream of empty reads.
class PosixSerialLine : public SerialLine {
public:
    PosixSerialLine();
    ~PosixSerialLine() override;
    PosixSerialLine(const PosixSerialLine&) = delete;
    PosixSerialLine& operator=(const PosixSerialLine&) = delete;

    // ENOENT and the like: absent; EACCES: no access; EBUSY: in use; ENOTTY, EISDIR: not serial.
    Problem ProblemOf(int error) const override;

    // Opens path for reading and writing (O_RDWR | O_NOCTTY | O_CLOEXEC), exclusively: TIOCEXCL
    // plus flock(LOCK_EX | LOCK_NB) (EBUSY when another program holds it). ENOTTY for anything
    // but a character device. EISCONN if already open.
    int Open(const std::string& path) override;
    // Reads the current line settings (tcgetattr); Close puts them back.
    int ReadSettings() override;
    // Raw 8N1 with CLOCAL | CREAD, no flow control, HUPCL cleared, VMIN = VTIME = 0, the given
    // rate (EINVAL for a rate termios lacks); then raises DTR and RTS where the device has modem
    // lines (a pseudo-terminal has none: ENOTTY or EINVAL there is not an error).
    int ApplySettings(uint32_t baudrate) override;
    // Discards unsent and unread data (tcflush TCIOFLUSH).
    int Purge();
    // Discards unread data only (tcflush TCIFLUSH). On a pseudo-terminal "unsent" output is
    // whatever the other side has not read yet, so a purge at reopening would throw away the
    // last command written before the close; a real port's close has drained its output.
    int PurgeInput() override;
    // Puts back the line settings ReadSettings found (HUPCL excepted: a dropped DTR can reset
    // the handset), releases exclusive use (TIOCNXCL, flock) and closes; the port is closed
    // afterwards even when close reports an error. 0 when it was not open.
    int Close() override;
    bool IsOpen() const override { return m_fd.load() >= 0; }

    // Waits up to timeoutMs for data and returns what arrived (up to capacity) in *received:
    // possibly nothing (time-out, or WakeReader). Once a byte is there it keeps collecting while
    // more follow within settleMs of each other (0: returns at once), never past the time-out.
    // EBADF when not open; EIO when the device has gone (hang-up or end of file).
    int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs = kReadTimeoutMs,
             int settleMs = 0) override;
    // Writes every byte or fails; *written (may be null) = bytes the device took. ETIMEDOUT
    // when the device takes no byte for the write stall limit; EIO when it has gone.
    int Write(const void* data, size_t length, size_t* written) override;
    void SetWriteStallLimit(int ms) override { m_writeStallMs.store(ms); }

    // Ends a waiting Read at once (0 bytes); with no Read waiting, the next Read returns at once.
    void WakeReader() override;
    // Forgets a wake-up that no Read has taken, so that it cannot cut a later Read short.
    void DiscardWake() override;

private:
    std::atomic<int> m_fd{-1};
    int m_wakeFd = -1;  // eventfd in every read's poll set; lives as long as the object
    std::atomic<int> m_writeStallMs{kDefaultWriteStallMs};
    struct termios m_settings {};
    struct termios m_original {};  // the settings found at opening, put back at closing
    bool m_restore = false;        // m_original holds settings to put back
};

}  // namespace platform
