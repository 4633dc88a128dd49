// SPDX-License-Identifier: Apache-2.0
// The serial line over a Win32 COM port: overlapped reads and writes, each wait bounded.
#include "platform/serial_line.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/output_clock.h"
#include "platform/port_lock.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// A read ends by its own COM time-outs; this much later it is cancelled (a driver that does not
// keep them must not hold the reader).
constexpr int kReadGraceMs = 50;
// A cancelled transfer reports back at once on every driver seen; past this the transfer is left
// in flight and collected by the next call, never abandoned with its buffer.
constexpr DWORD kCancelWaitMs = 1000;
constexpr size_t kReadPiece = 4096;
constexpr size_t kMaxWritePiece = 4096;
// GENERIC_READ | GENERIC_WRITE, and MAXIMUM_ALLOWED: the access the channel asks its port for.
constexpr DWORD kPortAccess = 0xC2000000;

int MsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

// The rates a COM port is asked for; the same list as on Linux (the channel's three among them).
constexpr uint32_t kRates[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// The channel's line: binary, no parity check, no CTS/DSR/XON/XOFF flow control, DTR and RTS
// held on, abort on error; 8N1 at the rate; EOF and event characters 0x7E.
void SetLine(DCB& dcb, uint32_t baudrate) {
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = baudrate;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = TRUE;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.XonChar = 0;
    dcb.XoffChar = 0;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0x7E;
    dcb.EvtChar = 0x7E;
}

// One overlapped transfer and its buffer. Handed to the driver, it belongs to the driver until
// its completion has been seen: one that never completes is abandoned whole (see Abandon).
struct Transfer {
    OVERLAPPED overlapped{};
    bool pending = false;
    unsigned char buffer[kReadPiece > kMaxWritePiece ? kReadPiece : kMaxWritePiece];

    Transfer() { overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Transfer() {
        if (overlapped.hEvent) CloseHandle(overlapped.hEvent);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
};

// A transfer whose completion was never seen may still be written into by its driver: its
// buffer, OVERLAPPED and event are left alive for good and a fresh one takes its place.
void Abandon(std::unique_ptr<Transfer>& transfer) {
    static_cast<void>(transfer.release());  // deliberately never freed
    transfer = std::make_unique<Transfer>();
}

class Win32SerialLine : public SerialLine {
public:
    explicit Win32SerialLine(int writeStallMs)
        : m_writeStallMs(writeStallMs), m_read(std::make_unique<Transfer>()), m_write(std::make_unique<Transfer>()) {
        m_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }
    ~Win32SerialLine() override {
        Close(CloseMode::kRestoreSettings);
        if (m_wake) CloseHandle(m_wake);
    }
    Win32SerialLine(const Win32SerialLine&) = delete;
    Win32SerialLine& operator=(const Win32SerialLine&) = delete;

    OpenResult Open(const std::string& device, uint32_t baudrate) override;
    int Close(CloseMode mode) override;
    bool IsOpen() const override { return m_port.load() != INVALID_HANDLE_VALUE; }
    int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) override;
    int Write(const void* data, size_t length, size_t* written) override;
    void WakeReader() override {
        if (m_wake) SetEvent(m_wake);
    }
    void DiscardWake() override {
        if (m_wake) ResetEvent(m_wake);
    }

private:
    // Steps of Open after the device is open; the error of the failed step.
    int SetUp(HANDLE port, const std::string& device, uint32_t baudrate, OpenStep& step);
    int SetReadTimeouts(HANDLE port, int gapMs, int totalMs);
    // Waits (bounded) for a transfer of port to end and takes its count; the error it ended with,
    // ERROR_IO_INCOMPLETE while it still runs.
    static DWORD Collect(HANDLE port, Transfer& transfer, DWORD& count);
    // Cancels a transfer still in flight and waits for its end; abandons it when none comes.
    // False when it had to be abandoned.
    static bool Finish(HANDLE port, std::unique_ptr<Transfer>& transfer);
    // A line error stops all transfers until it is cleared (fAbortOnError).
    static void ClearLineError(HANDLE port) {
        DWORD errors = 0;
        ClearCommError(port, &errors, nullptr);
    }
    // Waits until what was written has left the line (bounded).
    void WaitUntilSent(HANDLE port) const;
    size_t WritePiece() const;
    // Hands out bytes an earlier read took beyond its caller's buffer.
    size_t TakeCarried(unsigned char* out, size_t capacity);

    std::atomic<HANDLE> m_port{INVALID_HANDLE_VALUE};
    HANDLE m_wake = nullptr;  // auto-reset: a wake-up stays until one Read takes it
    const int m_writeStallMs;
    std::atomic<uint32_t> m_baudrate{0};  // the rate the line runs at now (0: never set)
    OutputClock m_output;

    // Transfers in flight live in the object, not on a caller's stack: one that outlasts its
    // cancellation still has its buffer.
    std::unique_ptr<Transfer> m_read;
    size_t m_carriedFrom = 0;  // bytes of m_read's buffer not yet handed out: [from, to)
    size_t m_carriedTo = 0;
    int m_readGapMs = -1;  // the read time-outs the port holds now
    int m_readTotalMs = -1;
    std::unique_ptr<Transfer> m_write;

    DCB m_original{};  // the settings found at the run's first opening
    COMMTIMEOUTS m_originalTimeouts{};
    std::string m_originalDevice;  // the device they belong to; empty: none kept
    PortLock m_machineLock;        // the port for this process on the whole machine while open
};

SerialLine::OpenResult Win32SerialLine::Open(const std::string& device, uint32_t baudrate) {
    OpenResult result;
    auto failed = [&](DWORD error) {
        result.error = static_cast<int>(error);
        result.problem = ProblemOfError(result.error);
        // A driver that cannot set the rate may well set the next one.
        if (result.step == OpenStep::kApplySettings && error == ERROR_INVALID_PARAMETER) {
            result.problem = Problem::kRateRefused;
        }
        return result;
    };
    if (IsOpen()) return failed(ERROR_ALREADY_INITIALIZED);
    if (!m_wake || !m_read->overlapped.hEvent || !m_write->overlapped.hEvent) return failed(ERROR_NOT_ENOUGH_MEMORY);
    std::wstring wide;
    if (!win32::WidenPath(device, wide)) return failed(ERROR_INVALID_NAME);
    // A folder would otherwise fail with "access denied" and pass for a port in use.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return failed(ERROR_DIRECTORY);
    // Another run's mutex keeps us off in the moments its own line is closed between openings.
    if (m_machineLock.Take(device, "", PortLock::Use::kLine) == PortLock::Result::kHeld) return failed(ERROR_BUSY);
    HANDLE port = CreateFileW(wide.c_str(), kPortAccess, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        m_machineLock.Release();
        return failed(error);
    }
    // A file would take the handset's bytes without a word.
    if (GetFileType(port) != FILE_TYPE_CHAR) {
        CloseHandle(port);
        m_machineLock.Release();
        return failed(ERROR_BAD_DEVICE);
    }
    if (const int error = SetUp(port, device, baudrate, result.step); error != 0) {
        CloseHandle(port);
        m_machineLock.Release();
        return failed(static_cast<DWORD>(error));
    }
    m_carriedFrom = m_carriedTo = 0;
    m_port.store(port);
    return result;
}

int Win32SerialLine::SetUp(HANDLE port, const std::string& device, uint32_t baudrate, OpenStep& step) {
    step = OpenStep::kReadSettings;
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(port, &dcb)) return static_cast<int>(GetLastError());
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(port, &timeouts)) return static_cast<int>(GetLastError());
    // Later openings of the run find the tool's own settings: the port's own are those found first.
    if (m_originalDevice != device) {
        m_original = dcb;
        m_originalTimeouts = timeouts;
        m_originalDevice = device;
    }

    step = OpenStep::kApplySettings;
    if (!IsSupportedBaudrate(baudrate)) return ERROR_INVALID_PARAMETER;
    SetLine(dcb, baudrate);
    // Bytes written at the old rate before the last close must not go out at the new one.
    if (baudrate != m_baudrate.load()) WaitUntilSent(port);
    if (!SetCommState(port, &dcb)) {
        DWORD error = GetLastError();
        // Some drivers refuse equal XON and XOFF characters even with XON/XOFF off; the usual
        // pair changes nothing on a line without software flow control.
        if (error != ERROR_INVALID_PARAMETER) return static_cast<int>(error);
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        if (!SetCommState(port, &dcb)) return static_cast<int>(GetLastError());
    }
    m_baudrate.store(baudrate);
    step = OpenStep::kSetTimeouts;
    m_readGapMs = -1;
    if (const int error = SetReadTimeouts(port, 1, kReadTimeoutMs); error != 0) return error;

    // Received bytes only: output still on its way may be a command the handset has yet to read.
    step = OpenStep::kPurge;
    return PurgeComm(port, PURGE_RXCLEAR) ? 0 : static_cast<int>(GetLastError());
}

// A read ends gapMs after the last byte that came, or totalMs after it began, or when its buffer
// is full. The forms "return at once" and "return at the first byte" (ReadIntervalTimeout
// MAXDWORD) are left alone: Wine keeps neither and waits for data without end. Writes have no
// time-out of the port's own: Write bounds them itself.
int Win32SerialLine::SetReadTimeouts(HANDLE port, int gapMs, int totalMs) {
    gapMs = std::clamp(gapMs, 1, 0x7FFFFFFE);
    totalMs = std::clamp(totalMs, 1, 0x7FFFFFFE);
    if (gapMs == m_readGapMs && totalMs == m_readTotalMs) return 0;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = static_cast<DWORD>(gapMs);
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(totalMs);
    if (!SetCommTimeouts(port, &timeouts)) {
        m_readGapMs = -1;
        return static_cast<int>(GetLastError());
    }
    m_readGapMs = gapMs;
    m_readTotalMs = totalMs;
    return 0;
}

void Win32SerialLine::WaitUntilSent(HANDLE port) const {
    m_output.WaitUntilSent([port]() -> long {
        DWORD errors = 0;
        COMSTAT status{};
        return ClearCommError(port, &errors, &status) ? static_cast<long>(status.cbOutQue) : -1;
    });
}

int Win32SerialLine::Close(CloseMode mode) {
    HANDLE port = m_port.exchange(INVALID_HANDLE_VALUE);
    if (port == INVALID_HANDLE_VALUE) return 0;
    int result = 0;
    if (!Finish(port, m_read)) result = ERROR_IO_INCOMPLETE;
    if (!Finish(port, m_write)) result = ERROR_IO_INCOMPLETE;
    m_carriedFrom = m_carriedTo = 0;
    if (mode == CloseMode::kRestoreSettings && !m_originalDevice.empty()) {
        // A port that serves other programs too gets back the settings it had, once the last
        // bytes for the handset have left at the rate they were written for.
        WaitUntilSent(port);
        SetCommState(port, &m_original);
        SetCommTimeouts(port, &m_originalTimeouts);
        m_originalDevice.clear();
        m_baudrate.store(0);
    }
    if (!CloseHandle(port) && result == 0) result = static_cast<int>(GetLastError());
    m_machineLock.Release();
    return result;
}

bool Win32SerialLine::Finish(HANDLE port, std::unique_ptr<Transfer>& transfer) {
    if (!transfer->pending) return true;
    CancelIoEx(port, &transfer->overlapped);
    DWORD ignored = 0;
    if (Collect(port, *transfer, ignored) != ERROR_IO_INCOMPLETE) return true;
    Abandon(transfer);
    return false;
}

DWORD Win32SerialLine::Collect(HANDLE port, Transfer& transfer, DWORD& count) {
    count = 0;
    if (WaitForSingleObject(transfer.overlapped.hEvent, kCancelWaitMs) != WAIT_OBJECT_0) return ERROR_IO_INCOMPLETE;
    transfer.pending = false;
    // The count is there even for a cancelled transfer: the bytes it moved before the cancel.
    if (GetOverlappedResult(port, &transfer.overlapped, &count, FALSE)) return 0;
    const DWORD error = GetLastError();
    // A read that ran into its time-outs ended as asked (Wine reports that as a failure).
    return error == ERROR_TIMEOUT ? 0 : error;
}

size_t Win32SerialLine::TakeCarried(unsigned char* out, size_t capacity) {
    const size_t count = std::min(capacity, m_carriedTo - m_carriedFrom);
    std::memcpy(out, m_read->buffer + m_carriedFrom, count);
    m_carriedFrom += count;
    if (m_carriedFrom == m_carriedTo) m_carriedFrom = m_carriedTo = 0;
    return count;
}

int Win32SerialLine::Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) {
    if (received) *received = 0;
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    if (capacity == 0) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    // What a read took beyond an earlier, smaller buffer comes first; a read that outlasted an
    // earlier call's wait is collected below before any new one starts.
    size_t got = TakeCarried(out, capacity);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    // The gap that ends a read once bytes came: the settle time, or (none) the shortest there is.
    const int gapMs = settleMs > 0 ? settleMs : 1;
    int result = 0;
    while (got < capacity) {
        int wait = MsUntil(deadline);
        if (got > 0 && settleMs < wait) wait = settleMs < 0 ? 0 : settleMs;
        Transfer& read = *m_read;
        DWORD want = 0;
        const Clock::time_point began = Clock::now();
        if (!read.pending) {
            // A wake-up given before this read began ends it at once, as one given during it does.
            if (WaitForSingleObject(m_wake, 0) == WAIT_OBJECT_0) break;
            if ((result = SetReadTimeouts(port, gapMs, wait)) != 0) break;
            want = static_cast<DWORD>(kReadPiece);
            if (!ReadFile(port, read.buffer, want, nullptr, &read.overlapped)) {
                const DWORD error = GetLastError();
                if (error != ERROR_IO_PENDING) {
                    if (error == ERROR_OPERATION_ABORTED) ClearLineError(port);
                    result = static_cast<int>(error);
                    break;
                }
            }
            read.pending = true;
        }
        HANDLE events[2] = {read.overlapped.hEvent, m_wake};
        const DWORD waited = WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(wait) + kReadGraceMs);
        const bool woken = waited == WAIT_OBJECT_0 + 1;
        if (waited != WAIT_OBJECT_0) CancelIoEx(port, &read.overlapped);
        DWORD count = 0;
        const DWORD error = Collect(port, read, count);
        // The whole piece is kept: what does not fit this caller waits for the next one.
        m_carriedFrom = 0;
        m_carriedTo = count;
        got += TakeCarried(out + got, capacity - got);
        if (woken || error == ERROR_IO_INCOMPLETE) break;
        // Cancelled here at the end of the wait: the time is up, which is no failure.
        if (error != 0 && !(error == ERROR_OPERATION_ABORTED && waited != WAIT_OBJECT_0)) {
            if (error == ERROR_OPERATION_ABORTED) ClearLineError(port);
            result = static_cast<int>(error);
            break;
        }
        if (count == 0 && (got > 0 || MsUntil(deadline) == 0)) break;
        // Ended by the gap after its bytes, before its own time was up: the line went quiet.
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
        if (count > 0 && count < want && took < wait) break;
    }
    if (received) *received = got;
    // Bytes that arrived before the device went are still handed over; the error shows next time.
    return got > 0 ? 0 : result;
}

// A piece the line sends within a quarter of the stall limit, so that a piece still unsent when
// the limit passes means the device took nothing.
size_t Win32SerialLine::WritePiece() const {
    const uint64_t bytesPerSecond = std::max<uint32_t>(m_baudrate.load(), 300) / 10;
    const uint64_t piece = bytesPerSecond * static_cast<uint64_t>(std::max(m_writeStallMs, 1)) / 4000;
    return static_cast<size_t>(std::clamp<uint64_t>(piece, 16, kMaxWritePiece));
}

int Win32SerialLine::Write(const void* data, size_t length, size_t* written) {
    size_t done = 0;
    if (written) *written = 0;
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    DWORD count = 0;
    // A piece that outlasted its cancellation must end before its buffer is used again.
    if (m_write->pending && Collect(port, *m_write, count) == ERROR_IO_INCOMPLETE) return ERROR_BUSY;
    const auto* in = static_cast<const unsigned char*>(data);
    const DWORD stallMs = static_cast<DWORD>(std::max(m_writeStallMs, 0));
    const size_t pieceMax = WritePiece();
    int result = 0;
    while (done < length) {
        Transfer& write = *m_write;
        const size_t piece = std::min(length - done, pieceMax);
        std::memcpy(write.buffer, in + done, piece);
        if (!WriteFile(port, write.buffer, static_cast<DWORD>(piece), nullptr, &write.overlapped)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                if (error == ERROR_OPERATION_ABORTED) ClearLineError(port);
                result = static_cast<int>(error);
                break;
            }
        }
        write.pending = true;
        const bool stalled = WaitForSingleObject(write.overlapped.hEvent, stallMs) != WAIT_OBJECT_0;
        if (stalled) CancelIoEx(port, &write.overlapped);
        const DWORD error = Collect(port, write, count);
        const size_t sent = std::min<size_t>(count, piece);
        done += sent;
        m_output.Wrote(sent, m_baudrate.load());
        if (stalled && count == 0 && error != ERROR_IO_INCOMPLETE) {
            result = ERROR_TIMEOUT;
            break;
        }
        if (error == ERROR_IO_INCOMPLETE || (error != 0 && !(stalled && error == ERROR_OPERATION_ABORTED))) {
            if (error == ERROR_OPERATION_ABORTED) ClearLineError(port);
            result = static_cast<int>(error == ERROR_IO_INCOMPLETE ? ERROR_TIMEOUT : error);
            break;
        }
    }
    if (written) *written = done;
    return result;
}

}  // namespace

bool IsSupportedBaudrate(uint32_t baudrate) {
    return std::find(std::begin(kRates), std::end(kRates), baudrate) != std::end(kRates);
}

std::unique_ptr<SerialLine> MakeSystemSerialLine(int writeStallMs) {
    return std::make_unique<Win32SerialLine>(writeStallMs);
}

SerialLine::Problem ProblemOfError(int error) {
    using Problem = SerialLine::Problem;
    switch (error) {
    case 0: return Problem::kNone;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_NOT_READY: return Problem::kAbsent;
    // A COM port another program holds refuses a second open with "access denied": often a
    // program that lets go a moment later, so it is waited for as a port in use.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY: return Problem::kInUse;
    // What a handle that is no COM port answers to the line's requests.
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_BAD_DEVICE:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_HANDLE: return Problem::kNotSerial;
    default: return Problem::kOther;
    }
}

// After a USB adapter is pulled, its driver fails every request on the open handle with one of
// these.
bool IsDeviceGone(int error) {
    switch (error) {
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_NOT_FOUND: return true;
    default: return false;
    }
}

}  // namespace platform
