#pragma once
#include <termios.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// One serial device over termios, standing in for the Windows COM handle of the design.
// Errors are errno values (0 = success). A vanished device (hang-up, end of file, EIO) is an
// error, never an endless stream of empty reads.
//
// Threads: one thread may Read while another Writes (as the listener and the download worker
// do); Open, ReadSettings, ApplySettings, Purge and Close belong to one thread at a time (the
// caller's port lock). WakeReader may be called from any thread at any time.
class SerialPort {
public:
    static constexpr int kReadTimeoutMs = 100;         // the design's read total time-out
    static constexpr int kDefaultWriteStallMs = 5000;  // a write that takes no byte this long fails

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Why a port could not be opened or set up, as far as retrying is concerned.
    enum class Problem {
        kAbsent,     // no such device (yet): a USB device re-enumerating comes back, so retry
        kNoAccess,   // this user may not open it
        kInUse,      // another program holds it
        kNotSerial,  // not a terminal (a file, a directory, another kind of device)
        kOther,      // anything else: worth another try
    };
    // The problem an error of Open, ReadSettings or ApplySettings stands for.
    static Problem ProblemOf(int error);
    // True for the problems that retrying cannot change.
    static bool IsLasting(Problem problem) {
        return problem == Problem::kNoAccess || problem == Problem::kInUse || problem == Problem::kNotSerial;
    }

    // Opens path for reading and writing (O_RDWR | O_NOCTTY | O_CLOEXEC), exclusively: TIOCEXCL
    // plus flock(LOCK_EX | LOCK_NB) (EBUSY when another program holds it). ENOTTY for anything
    // but a character device. EISCONN if already open.
    int Open(const std::string& path);
    // Reads the current line settings (tcgetattr); Close puts them back.
    int ReadSettings();
    // Raw 8N1 with CLOCAL | CREAD, no flow control, HUPCL cleared, VMIN = VTIME = 0, the given
    // rate (EINVAL for a rate termios lacks); then raises DTR and RTS where the device has modem
    // lines (a pseudo-terminal has none: ENOTTY or EINVAL there is not an error).
    int ApplySettings(uint32_t baudrate);
    // Discards unsent and unread data (tcflush TCIOFLUSH).
    int Purge();
    // Discards unread data only (tcflush TCIFLUSH). On a pseudo-terminal "unsent" output is
    // whatever the other side has not read yet, so a purge at reopening would throw away the
    // last command written before the close; a real port's close has drained its output.
    int PurgeInput();
    // Puts back the line settings ReadSettings found (HUPCL excepted: a dropped DTR can reset
    // the handset), releases exclusive use (TIOCNXCL, flock) and closes; the port is closed
    // afterwards even when close reports an error. 0 when it was not open.
    int Close();
    bool IsOpen() const { return m_fd.load() >= 0; }

    // Waits up to timeoutMs for data and returns what arrived (up to capacity) in *received:
    // possibly nothing (time-out, or WakeReader). Once a byte is there it keeps collecting while
    // more follow within settleMs of each other (0: returns at once), never past the time-out.
    // EBADF when not open; EIO when the device has gone (hang-up or end of file).
    int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs = kReadTimeoutMs,
             int settleMs = 0);
    // Writes every byte or fails; *written (may be null) = bytes the device took. ETIMEDOUT
    // when the device takes no byte for the write stall limit; EIO when it has gone.
    int Write(const void* data, size_t length, size_t* written);
    void SetWriteStallLimit(int ms) { m_writeStallMs.store(ms); }

    // Ends a waiting Read at once (0 bytes); with no Read waiting, the next Read returns at once.
    void WakeReader();
    // Forgets a wake-up that no Read has taken, so that it cannot cut a later Read short.
    void DiscardWake();

    // True for the rates this port can set (the design's three among them).
    static bool IsSupportedBaudrate(uint32_t baudrate);

private:
    std::atomic<int> m_fd{-1};
    int m_wakeFd = -1;  // eventfd in every read's poll set; lives as long as the object
    std::atomic<int> m_writeStallMs{kDefaultWriteStallMs};
    struct termios m_settings {};
    struct termios m_original {};  // the settings found at opening, put back at closing
    bool m_restore = false;        // m_original holds settings to put back
};

}  // namespace platform
