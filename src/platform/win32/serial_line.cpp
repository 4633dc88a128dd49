// SPDX-License-Identifier: Apache-2.0
// The serial line over a Win32 COM port: overlapped reads and writes, each wait bounded.
#include "platform/serial_line.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

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

int MsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

// The rates a COM port is asked for; the same list as on Linux (the design's three among them).
constexpr uint32_t kRates[] = {9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};

// The design's line: binary, no parity check, no CTS/DSR/XON/XOFF flow control, DTR and RTS
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

class Win32SerialLine : public SerialLine {
public:
    Win32SerialLine() {
        m_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~Win32SerialLine() override {
        Close();
        for (HANDLE event : {m_wake, m_read.hEvent, m_write.hEvent}) {
            if (event) CloseHandle(event);
        }
    }
    Win32SerialLine(const Win32SerialLine&) = delete;
    Win32SerialLine& operator=(const Win32SerialLine&) = delete;

    Problem ProblemOf(int error) const override;
    int Open(const std::string& device) override;
    int ReadSettings() override;
    int ApplySettings(uint32_t baudrate) override;
    int PurgeInput() override;
    int Close() override;
    bool IsOpen() const override { return m_port.load() != INVALID_HANDLE_VALUE; }
    int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) override;
    int Write(const void* data, size_t length, size_t* written) override;
    void SetWriteStallLimit(int ms) override { m_writeStallMs.store(ms); }
    void WakeReader() override {
        if (m_wake) SetEvent(m_wake);
    }
    void DiscardWake() override {
        if (m_wake) ResetEvent(m_wake);
    }

private:
    int SetReadTimeouts(HANDLE port, int gapMs, int totalMs);
    // Waits (bounded) for a transfer of port to end and takes its count; the error it ended with.
    static DWORD Collect(HANDLE port, OVERLAPPED& transfer, bool& pending, DWORD& count);
    // A line error stops all transfers until it is cleared (fAbortOnError).
    static void ClearLineError(HANDLE port) {
        DWORD errors = 0;
        ClearCommError(port, &errors, nullptr);
    }
    size_t WritePiece() const;

    std::atomic<HANDLE> m_port{INVALID_HANDLE_VALUE};
    HANDLE m_wake = nullptr;  // auto-reset: a wake-up stays until one Read takes it
    std::atomic<int> m_writeStallMs{kDefaultWriteStallMs};
    std::atomic<uint32_t> m_baudrate{115200};

    // Transfers in flight live in the object, not on a caller's stack: one that outlasts its
    // cancellation still has its buffer.
    OVERLAPPED m_read{};
    bool m_readPending = false;
    int m_readGapMs = -1;  // the read time-outs the port holds now
    int m_readTotalMs = -1;
    unsigned char m_readBuffer[kReadPiece];
    OVERLAPPED m_write{};
    bool m_writePending = false;
    unsigned char m_writeBuffer[kMaxWritePiece];

    DCB m_settings{};
    DCB m_original{};  // the settings found at opening, put back at closing
    COMMTIMEOUTS m_originalTimeouts{};
    bool m_restore = false;
};

SerialLine::Problem Win32SerialLine::ProblemOf(int error) const {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY: return Problem::kAbsent;
    // A COM port another program holds refuses a second open with "access denied".
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

int Win32SerialLine::Open(const std::string& device) {
    if (IsOpen()) return ERROR_ALREADY_INITIALIZED;
    if (!m_wake || !m_read.hEvent || !m_write.hEvent) return ERROR_NOT_ENOUGH_MEMORY;
    std::wstring wide;
    if (!win32::WidenPath(device, wide)) return ERROR_INVALID_NAME;
    // A folder would otherwise fail with "access denied" and pass for a port in use.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
    HANDLE port = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    // A file would take the handset's bytes without a word.
    if (GetFileType(port) != FILE_TYPE_CHAR) {
        CloseHandle(port);
        return ERROR_BAD_DEVICE;
    }
    m_restore = false;
    m_readPending = false;
    m_writePending = false;
    m_readGapMs = -1;
    m_port.store(port);
    return 0;
}

int Win32SerialLine::ReadSettings() {
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(port, &dcb)) return static_cast<int>(GetLastError());
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(port, &timeouts)) return static_cast<int>(GetLastError());
    m_settings = dcb;
    m_original = dcb;
    m_originalTimeouts = timeouts;
    m_restore = true;
    return 0;
}

int Win32SerialLine::ApplySettings(uint32_t baudrate) {
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    if (!IsSupportedBaudrate(baudrate)) return ERROR_INVALID_PARAMETER;
    DCB dcb = m_settings;
    SetLine(dcb, baudrate);
    if (!SetCommState(port, &dcb)) {
        DWORD error = GetLastError();
        // Some drivers refuse equal XON and XOFF characters even with XON/XOFF off; the usual
        // pair changes nothing on a line without software flow control.
        if (error != ERROR_INVALID_PARAMETER) return static_cast<int>(error);
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        if (!SetCommState(port, &dcb)) return static_cast<int>(GetLastError());
    }
    m_settings = dcb;
    m_baudrate.store(baudrate);
    m_readGapMs = -1;
    return SetReadTimeouts(port, 1, kReadTimeoutMs);
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

int Win32SerialLine::PurgeInput() {
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    // Received bytes only: output still on its way may be a command the handset has yet to read.
    return PurgeComm(port, PURGE_RXCLEAR) ? 0 : static_cast<int>(GetLastError());
}

int Win32SerialLine::Close() {
    HANDLE port = m_port.exchange(INVALID_HANDLE_VALUE);
    if (port == INVALID_HANDLE_VALUE) return 0;
    DWORD ignored = 0;
    if (m_readPending) {
        CancelIoEx(port, &m_read);
        Collect(port, m_read, m_readPending, ignored);
    }
    if (m_writePending) {
        CancelIoEx(port, &m_write);
        Collect(port, m_write, m_writePending, ignored);
    }
    if (m_restore) {
        // A port that serves other programs too gets back the settings it had.
        SetCommState(port, &m_original);
        SetCommTimeouts(port, &m_originalTimeouts);
        m_restore = false;
    }
    m_readPending = false;
    m_writePending = false;
    return CloseHandle(port) ? 0 : static_cast<int>(GetLastError());
}

DWORD Win32SerialLine::Collect(HANDLE port, OVERLAPPED& transfer, bool& pending, DWORD& count) {
    count = 0;
    if (WaitForSingleObject(transfer.hEvent, kCancelWaitMs) != WAIT_OBJECT_0) return ERROR_IO_INCOMPLETE;
    pending = false;
    // The count is there even for a cancelled transfer: the bytes it moved before the cancel.
    if (GetOverlappedResult(port, &transfer, &count, FALSE)) return 0;
    const DWORD error = GetLastError();
    // A read that ran into its time-outs ended as asked (Wine reports that as a failure).
    return error == ERROR_TIMEOUT ? 0 : error;
}

int Win32SerialLine::Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) {
    size_t got = 0;
    if (received) *received = 0;
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    if (capacity == 0) return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    // The gap that ends a read once bytes came: the settle time, or (none) the shortest there is.
    const int gapMs = settleMs > 0 ? settleMs : 1;
    int result = 0;
    while (got < capacity) {
        int wait = MsUntil(deadline);
        if (got > 0 && settleMs < wait) wait = settleMs < 0 ? 0 : settleMs;
        DWORD want = 0;
        const Clock::time_point began = Clock::now();
        if (!m_readPending) {
            // A wake-up given before this read began ends it at once, as one given during it does.
            if (WaitForSingleObject(m_wake, 0) == WAIT_OBJECT_0) break;
            if ((result = SetReadTimeouts(port, gapMs, wait)) != 0) break;
            want = static_cast<DWORD>(std::min(capacity - got, kReadPiece));
            if (!ReadFile(port, m_readBuffer, want, nullptr, &m_read)) {
                const DWORD error = GetLastError();
                if (error != ERROR_IO_PENDING) {
                    if (error == ERROR_OPERATION_ABORTED) ClearLineError(port);
                    result = static_cast<int>(error);
                    break;
                }
            }
            m_readPending = true;
        }
        HANDLE events[2] = {m_read.hEvent, m_wake};
        const DWORD waited = WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(wait) + kReadGraceMs);
        const bool woken = waited == WAIT_OBJECT_0 + 1;
        if (waited != WAIT_OBJECT_0) CancelIoEx(port, &m_read);
        DWORD count = 0;
        const DWORD error = Collect(port, m_read, m_readPending, count);
        count = std::min<DWORD>(count, static_cast<DWORD>(capacity - got));
        std::memcpy(out + got, m_readBuffer, count);
        got += count;
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
    const uint64_t piece = bytesPerSecond * static_cast<uint64_t>(std::max(m_writeStallMs.load(), 1)) / 4000;
    return static_cast<size_t>(std::clamp<uint64_t>(piece, 16, kMaxWritePiece));
}

int Win32SerialLine::Write(const void* data, size_t length, size_t* written) {
    size_t done = 0;
    if (written) *written = 0;
    HANDLE port = m_port.load();
    if (port == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
    DWORD count = 0;
    // A piece that outlasted its cancellation must end before its buffer is used again.
    if (m_writePending && Collect(port, m_write, m_writePending, count) == ERROR_IO_INCOMPLETE) return ERROR_BUSY;
    const auto* in = static_cast<const unsigned char*>(data);
    const DWORD stallMs = static_cast<DWORD>(std::max(m_writeStallMs.load(), 0));
    const size_t pieceMax = WritePiece();
    int result = 0;
    while (done < length) {
        const size_t piece = std::min(length - done, pieceMax);
        std::memcpy(m_writeBuffer, in + done, piece);
        if (!WriteFile(port, m_writeBuffer, static_cast<DWORD>(piece), nullptr, &m_write)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                if (error == ERROR_OPERATION_ABORTED) ClearLineError(port);
                result = static_cast<int>(error);
                break;
            }
        }
        m_writePending = true;
        const bool stalled = WaitForSingleObject(m_write.hEvent, stallMs) != WAIT_OBJECT_0;
        if (stalled) CancelIoEx(port, &m_write);
        const DWORD error = Collect(port, m_write, m_writePending, count);
        done += std::min<size_t>(count, piece);
        if (stalled && count == 0) {
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

std::unique_ptr<SerialLine> MakeSystemSerialLine() { return std::make_unique<Win32SerialLine>(); }

}  // namespace platform
