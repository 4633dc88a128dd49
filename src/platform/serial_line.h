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
// Settings belong to the run, not to one opening: the channel closes and reopens its port at
// every rate change and mode switch, and bytes written just before such a close are still on
// their way. So a close inside a run leaves the line as the tool set it, a rate changes only once
// what was written has left, and the settings the port had before the run come back only when
// the run lets go of the port for good (CloseMode::kRestoreSettings), after its last bytes.
//
// Threads: one thread may Read while another Writes (as the listener and the download worker
// do); Open and Close belong to one thread at a time (the caller's port lock). WakeReader may be
// called from any thread at any time.
class SerialLine {
public:
    static constexpr int kReadTimeoutMs = 100;         // a listener read waits this long for data
    static constexpr int kDefaultWriteStallMs = 5000;  // a write that takes no byte this long fails

    // What an error means to the channel.
    enum class Problem {
        kNone,
        kAbsent,       // no such device (yet): a USB device re-enumerating comes back, so retry
        kNoAccess,     // this user may not open it
        kInUse,        // another program holds it: often for a moment only, so retry
        kNotSerial,    // not a serial device (a file, a folder, another kind of device)
        kRateRefused,  // the driver cannot set the rate: the next rate may do
        kOther,        // anything else: worth another try
    };
    // True for the problems that retrying cannot change.
    static bool IsLasting(Problem problem) { return problem == Problem::kNoAccess || problem == Problem::kNotSerial; }

    // The steps of an opening, in order; a failed opening names the step that failed.
    enum class OpenStep { kCreate, kReadSettings, kApplySettings, kSetTimeouts, kPurge };
    struct OpenResult {
        int error = 0;  // 0: open and set up
        Problem problem = Problem::kNone;
        OpenStep step = OpenStep::kCreate;  // the failed step; kPurge (the last) on success
        bool Ok() const { return error == 0; }
    };

    enum class CloseMode {
        kKeepSettings,     // between openings of one run: the line stays as the tool set it
        kRestoreSettings,  // the run is done with the port: after the bytes written have left
                           // (a bounded wait), the settings found at the run's first opening
    };

    virtual ~SerialLine() = default;

    // Opens the device exclusively for reading and writing and sets it up: raw 8N1 at baudrate
    // without flow control, DTR and RTS raised where the line has them, reads that never block
    // past their own time-out; input received before is discarded, output still on its way is
    // not. Closed again when a step fails. An error when already open.
    virtual OpenResult Open(const std::string& device, uint32_t baudrate) = 0;
    // Closes; closed afterwards even on an error. 0 when it was not open.
    virtual int Close(CloseMode mode) = 0;
    virtual bool IsOpen() const = 0;

    // Waits up to timeoutMs for data and returns what arrived (up to capacity) in *received:
    // possibly nothing (time-out, or WakeReader). Once a byte is there it keeps collecting while
    // more follow within settleMs of each other (0: returns at once), never past the time-out.
    // An error when not open, or when the device has gone (bytes that came first are still
    // returned with 0; the error shows on the next read).
    virtual int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) = 0;
    // Writes every byte or fails; *written (may be null) = bytes the device took. Fails when the
    // device takes no byte for the write stall limit, or has gone.
    virtual int Write(const void* data, size_t length, size_t* written) = 0;

    // Ends a waiting Read at once (0 bytes); with no Read waiting, the next Read returns at once.
    virtual void WakeReader() = 0;
    // Forgets a wake-up that no Read has taken, so that it cannot cut a later Read short.
    virtual void DiscardWake() = 0;

    // One read window of the listener, returning at once when bytes have come.
    int ReadWindow(void* buffer, size_t capacity, size_t* received) {
        return Read(buffer, capacity, received, kReadTimeoutMs, 0);
    }
};

// The system's serial device (termios on Linux, the COM port on Windows); writeStallMs: how
// long a write may find the device taking nothing before it fails.
std::unique_ptr<SerialLine> MakeSystemSerialLine(int writeStallMs = SerialLine::kDefaultWriteStallMs);

// True for the rates the system's serial device can set (the channel's three among them).
bool IsSupportedBaudrate(uint32_t baudrate);

// What an error of an opening of the system's serial device means to the channel.
SerialLine::Problem ProblemOfError(int error);
// True for the errors with which a read or a write of an open line says the device went away
// (unplugged, switched off, its driver gone).
bool IsDeviceGone(int error);

}  // namespace platform
