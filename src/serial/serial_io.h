// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/auto_reset_event.h"
#include "platform/serial_line.h"
#include "serial/handset_replies.h"
#include "serial/phone_mode.h"
#include "serial/port_failure.h"

// What the listener thread tells the channel's owner through OnEvent.
enum EChannelEvent : int32_t {
    EVENT_LISTENER_ENDED = 0,  // the listener loop has ended and the port is closed
    EVENT_DETECTING = 1,       // detection starts (listener start, or a read error in a known mode)
    EVENT_DS_FOUND = 2,
    EVENT_DIAG_FOUND = 3,
    EVENT_DL_FOUND = 4,
    EVENT_DATA = 5,  // bytes were appended to the receive buffer: take them with Read
};

// The rate rotation of the listener.
enum EBaudrate : uint32_t {
    BAUD_115200 = 115200,
    BAUD_230400 = 230400,
    BAUD_460800 = 460800,
};

// Result codes besides 0 and errno values.
inline constexpr int32_t kSerialRefused = -1;               // Write gated, or device not in the port list
inline constexpr int32_t kSerialNotOpen = 6;                // platform::kErrorInvalidHandle
inline constexpr int32_t kSerialAlreadyOpen = 1247;         // platform::kErrorAlreadyInitialized
inline constexpr int32_t kSerialDeviceNameSize = 16;        // m_szDevice, NUL included
inline constexpr int32_t kSerialRxInitialCapacity = 8192;   // receive buffer start and growth step
inline constexpr int32_t kSerialListenerReadSize = 1024;    // one listener read
inline constexpr int32_t kReadWhenAvailableLimitMs = 3000;  // ReadWhenAvailable gives up (timed out)
inline constexpr int32_t kDetectionSettleMs = 20;           // gap that ends a piece of a reply
inline constexpr int32_t kDetectionReplyLimitMs = 1000;     // a reply in pieces is whole by then

// The channel to the handset over one serial port: opens it with fixed line settings, runs one
// listener thread per open port that detects the handset's mode and then keeps received bytes
// in a receive buffer for the owner, writes what the owner hands it, and switches the handset
// between modes. Abstract: the owner derives and implements OnEvent, which runs on the listener
// thread (the listener does not read the port again until it returns).
//
// Owners must call DestroyChannel() first thing in their own destructor: the listener calls
// OnEvent, which must not run while the derived part is being torn down.
class CSerialIO {
public:
    // line: what the channel reads and writes through; the system's serial device unless a test
    // plugs in another one.
    explicit CSerialIO(std::unique_ptr<platform::SerialLine> line = platform::MakeSystemSerialLine());
    virtual ~CSerialIO();
    CSerialIO(const CSerialIO&) = delete;
    CSerialIO& operator=(const CSerialIO&) = delete;

    // Stores the device name ("COM3"; a longer name without "\\.\" gets that prefix: "\\.\COM12")
    // and the rate, then starts the listener, which opens the port; does not wait for it.
    // 0, 1247 when the port is open or a listener runs, platform::kErrorNameTooLong when the
    // stored name would exceed 15 characters (logged, nothing started), or StartListener's error.
    virtual int32_t Open(const char* lpszDevice, uint32_t baudrate);
    // Stops the listener (up to 180000 ms) and closes the port for good: once the last bytes
    // written have left, the port gets back the settings it had before the run. 0 when the
    // ending listener has closed the port, 1 when Close itself closed it, else the error.
    virtual int32_t Close();
    // Write gate, then InternalWrite. -1 (nothing sent) while m_bBlockWrites is set.
    virtual int32_t Write(const void* data, int32_t length, uint32_t* written);
    // Takes up to capacity unread bytes from the receive buffer. 0 (count possibly 0), or 6
    // when the port is not open.
    virtual int32_t Read(void* dest, int32_t capacity, int32_t* taken);
    virtual void OnEvent(EChannelEvent event) = 0;

    // Port, listener and receive buffer operations (the owner and the mode switches use them).
    int32_t InternalOpen();
    int32_t InternalClose();
    int32_t InternalWrite(const void* data, int32_t length, uint32_t* written = nullptr);
    // 0, or an error: the thread cannot be created, or platform::kErrorBusy while a listener that
    // outlived StopListener's time limit is still ending (never two listeners on one port).
    int32_t StartListener();
    // Asks the listener to end and waits up to timeoutMs (-1: no limit). 0.
    int32_t StopListener(int32_t timeoutMs);
    uint32_t ThreadProc();
    // Waits until received bytes are there (at most kReadWhenAvailableLimitMs, scaled), then
    // until no more have come for 100 ms after a frame's closing flag (500 ms without one: the
    // rest of a reply that arrives in pieces), then Read.
    // platform::kErrorTimedOut when nothing arrives.
    int32_t ReadWhenAvailable(void* dest, int32_t capacity, int32_t* taken = nullptr);
    int32_t BaudIndexOf(uint32_t baudrate) const;
    // Writes the detection packet: 1 when written whole, else 0.
    int32_t SendProbe();

    // Mode switches. 1 on success, 0 on failure (GetMobileMode: PLATFORM_OTHER).
    int32_t ChangeDS2DIAG();
    void DrainHandset();
    EMobilePlatform GetMobileMode();
    int32_t ChangeToOffline();
    int32_t ChangeDIAG2DL();
    int32_t ChangeDS2DL();

    // Read-only views for owners and tests.
    EPhoneMode Mode() const { return m_eMode.load(); }
    // Unread bytes in the receive buffer (taken under m_csRx, so never a torn pair of positions).
    uint32_t UnreadCount() const;
    // Whether the last byte received and not yet read is a frame's closing flag.
    bool UnreadEndsAFrame() const;
    uint32_t RxCapacity() const { return m_nRxCapacity.load(); }
    int32_t LastError() const { return m_lLastError.load(); }
    uint32_t Baudrate() const { return m_dwBaudrate.load(); }
    const char* Device() const { return m_szDevice; }
    // The device name as the log's port column shows it: without a leading "\\.\".
    const char* PortName() const;
    bool IsPortOpen() const { return m_hFile->IsOpen(); }
    bool IsListenerRunning() const { return m_bListenerAlive.load(); }

    // True once an opening failed for a reason that retrying cannot change (no permission, not a
    // terminal): the listener has then ended. Cleared by Open.
    bool IsPortUnusable() const { return m_bPortUnusable.load(); }
    // The device went away (a read or a write failed so) after the handset had answered since
    // Open: kGone with the system's error, else kNone.
    PortFailure GoneFailure() const;
    // Told on the listener thread, at once, when the port turns out to be held by another
    // program (and again when the holder changes); the listener keeps trying meanwhile. Once
    // SetPortNotice has returned, the notice it replaced is never called again.
    using PortNotice = std::function<void(const PortFailure&)>;
    void SetPortNotice(PortNotice notice);
    // Why detection found no mode since Open: the lasting problem, else kNoAnswer when the port
    // did open, else the latest failed opening (a device that never came).
    PortFailure DetectionFailure() const;
    // Waits up to ms (scaled) until the listener has recognised a mode or found the port
    // unusable. True when it did; false after the time.
    bool WaitModeDecided(int ms);
    // The same for a span of the caller's own (not scaled).
    bool WaitModeDecidedFor(std::chrono::milliseconds span);
    // Ends a wait for the mode at once (any thread), as a decision would; the waiter looks again.
    void WakeModeWaiter() { m_hModeDecided.Set(); }
    // A pause in milliseconds the listener takes, while no mode is known, before each rotation of
    // the rates after the first (0, the default: none). For a look that may last hours.
    void SetRotationRest(int ms) { m_nRotationRestMs.store(ms < 0 ? 0 : ms); }
    // Detection packets the listeners of this channel have sent: a look at the port that has
    // seen the count grow by four has tried every rate of the rotation and waited out the third
    // one's reply.
    uint32_t ProbesSent() const { return m_nProbesSent.load(); }
    // True while the latest opening found the device missing from the port list (a USB port
    // unplugged); cleared by an opening that got past that look.
    bool DeviceMissing() const { return m_bDeviceMissing.load(); }
    // The mode the handset answered in first since Open (PHONE_MODE_UNKNOWN while none).
    EPhoneMode FirstModeFound() const { return m_eFirstMode.load(); }
    // The ESN of the first phone status reply since Open (the switch to download mode asks for
    // one); none before, or when the handset gave none. Kept after Close, for the run's record.
    std::optional<uint32_t> StatusEsn() const;

protected:
    // Sets m_bDestroying, stops the listener without limit and closes the port. Idempotent;
    // the owner's destructor calls it before anything of the owner is torn down.
    void DestroyChannel();

    // Appends n received bytes to the receive buffer, growing or compacting it (under m_csRx).
    void AppendReceived(const uint8_t* bytes, uint32_t n);
    // Notes a failed opening of device (empty: not in the port list) with its error; a lasting
    // one makes the port unusable and wakes the detection waits, a port in use is told.
    void RecordOpenFailure(int error, platform::SerialLine::Problem problem, const std::string& device);
    // Notes a failed read or write: a device that went away in the middle of a run.
    void NoteLineError(int error);

    std::recursive_mutex m_csPort;        // opening, closing and writing of the port
    mutable std::recursive_mutex m_csRx;  // the receive buffer and its two positions
    char m_szDevice[kSerialDeviceNameSize] = {};
    std::atomic<uint32_t> m_dwBaudrate{0};
    std::atomic<int32_t> m_lLastError{0};
    std::unique_ptr<platform::SerialLine> m_hFile;  // the line; closed while the port is closed
    platform::AutoResetEvent m_hevtWrite;           // signalled when a write has completed
    platform::AutoResetEvent m_hevtRead;            // wakes the listener's pauses when it is asked to stop
    std::atomic<int32_t> m_bStop{0};
    std::thread m_hThread;  // the listener; not joinable when none runs
    std::atomic<int32_t> m_bDestroying{0};
    std::atomic<EPhoneMode> m_eMode{PHONE_MODE_NONE};
    std::unique_ptr<uint8_t[]> m_pRxBuffer;
    std::atomic<uint32_t> m_nRxRead{0};
    std::atomic<uint32_t> m_nRxWrite{0};
    std::atomic<uint32_t> m_nRxCapacity{0};
    std::atomic<int32_t> m_lPendingWrites{0};
    std::atomic<int32_t> m_bHoldEvents{0};
    std::atomic<int32_t> m_bBlockWrites{0};
    // Set while Close or the destructor ends the run: the closing of the port then restores it.
    std::atomic<bool> m_bReleasing{false};
    const uint32_t m_aBaudrates[3] = {BAUD_115200, BAUD_230400, BAUD_460800};
    std::atomic<int32_t> m_nBaudIndex{0};

private:
    // Waits up to ms (scaled) unless the listener has been asked to stop.
    void ListenerPause(int ms);
    // The pause before the detection packet; bytes still coming in then (the tail of an earlier
    // answer) are discarded until the line is quiet, so the reply is read from its start.
    void QuietLineBeforeProbe();
    // One reply to the detection packet, which may come in pieces: collects while the bytes are
    // the start of a reply pattern, or match one but are not whole, and the next piece follows
    // within the read window; never longer than kDetectionReplyLimitMs.
    int ReadDetectionReply(uint8_t* buffer, size_t capacity, size_t* received);
    // Waits up to timeoutMs (-1: no limit) for the running listener to end. True when it has.
    bool WaitListenerEnded(int32_t timeoutMs);
    // Joins a listener that StopListener left ending once it has ended. True when none is left.
    bool ReapStaleListener();
    // The device path of m_szDevice in the port map (empty: not in it), looked up afresh when the
    // last look is old. The opening threads only (the listener, or a mode switch while none runs).
    std::string ResolveDevice();

    std::string m_resolvedPath;  // ResolveDevice's last look, and when it was
    std::chrono::steady_clock::time_point m_resolvedAt{};
    std::thread m_hStaleThread;                 // a listener that outlived StopListener's limit
    std::atomic<bool> m_bListenerAlive{false};  // a listener thread has not yet ended
    std::mutex m_endMutex;                      // with m_endCond: the end of the listener
    std::condition_variable m_endCond;

    mutable std::mutex m_failureMutex;  // m_openFailure
    PortFailure m_openFailure;          // the latest failed opening since Open
    std::atomic<bool> m_bPortUnusable{false};
    std::atomic<bool> m_bPortOpened{false};  // the port opened at least once since Open
    std::atomic<EPhoneMode> m_eFirstMode{PHONE_MODE_UNKNOWN};
    std::atomic<uint32_t> m_nProbesSent{0};
    std::atomic<bool> m_bDeviceMissing{false};
    std::atomic<int64_t> m_statusEsn{-1};  // -1: none yet
    std::atomic<int> m_nRotationRestMs{0};
    platform::AutoResetEvent m_hModeDecided;  // a mode was recognised, or the port is unusable
    PortFailure m_gone;                       // under m_failureMutex: the device went away
    std::mutex m_noticeMutex;                 // held while m_portNotice runs
    PortNotice m_portNotice;
    std::string m_toldHolder;  // under m_failureMutex: the holder last told
};
