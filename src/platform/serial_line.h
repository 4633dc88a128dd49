// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// One serial line to a handset: the narrow transport the channel talks through. The system's
// own serial device stands behind MakeSystemSerialLine (termios on Linux, the Win32 COM port on
// Windows); tests plug in a line of their own, such as one straight into the simulated handset.
// Errors are the system's own numbers (errno, or GetLastError on Windows): 0 is success.
//
// Threads: one thread may Read while another Writes (as the listener and the download worker
// do); Open, ReadSettings, ApplySettings, PurgeInput and Close belong to one thread at a time
// (the caller's port lock). WakeReader may be called from any thread at any time.
class SerialLine {
public:
    static constexpr int kReadTimeoutMs = 100;         // the design's read total time-out
    static constexpr int kDefaultWriteStallMs = 5000;  // a write that takes no byte this long fails

    // Why a line could not be opened or set up, as far as retrying is concerned.
    enum class Problem {
        kAbsent,     // no such device (yet): a USB device re-enumerating comes back, so retry
        kNoAccess,   // this user may not open it
        kInUse,      // another program holds it
        kNotSerial,  // not a serial device (a file, a folder, another kind of device)
        kOther,      // anything else: worth another try
    };
    // True for the problems that retrying cannot change.
    static bool IsLasting(Problem problem) {
        return problem == Problem::kNoAccess || problem == Problem::kInUse || problem == Problem::kNotSerial;
    }

    virtual ~SerialLine() = default;

    // Opens the device exclusively for reading and writing. An error when already open.
    virtual int Open(const std::string& device) = 0;
    // Reads the current line settings; Close puts them back.
    virtual int ReadSettings() = 0;
    // Raw 8N1 at the rate without flow control, DTR and RTS raised where the line has them,
    // reads that never block past their own time-out.
    virtual int ApplySettings(uint32_t baudrate) = 0;
    // Discards what has been received and not yet read.
    virtual int PurgeInput() = 0;
    // Puts back the settings found at opening and closes; closed afterwards even on an error.
    // 0 when it was not open.
    virtual int Close() = 0;
    virtual bool IsOpen() const = 0;

    // Waits up to timeoutMs for data and returns what arrived (up to capacity) in *received:
    // possibly nothing (time-out, or WakeReader). Once a byte is there it keeps collecting while
    // more follow within settleMs of each other (0: returns at once), never past the time-out.
    // An error when not open, or when the device has gone (bytes that came first are still
    // returned with 0; the error shows on the next read).
    virtual int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs = kReadTimeoutMs,
                     int settleMs = 0) = 0;
    // Writes every byte or fails; *written (may be null) = bytes the device took. Fails when the
    // device takes no byte for the write stall limit, or has gone.
    virtual int Write(const void* data, size_t length, size_t* written) = 0;
    virtual void SetWriteStallLimit(int ms) = 0;

    // Ends a waiting Read at once (0 bytes); with no Read waiting, the next Read returns at once.
    virtual void WakeReader() = 0;
    // Forgets a wake-up that no Read has taken, so that it cannot cut a later Read short.
    virtual void DiscardWake() = 0;

    // The problem an error of Open, ReadSettings or ApplySettings stands for.
    virtual Problem ProblemOf(int error) const = 0;
};

// The system's serial device (termios on Linux, the COM port on Windows).
std::unique_ptr<SerialLine> MakeSystemSerialLine();

// True for the rates the system's serial device can set (the design's three among them).
bool IsSupportedBaudrate(uint32_t baudrate);

}  // namespace platform
