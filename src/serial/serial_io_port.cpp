// SPDX-License-Identifier: Apache-2.0
#include <string>

#include "log/log.h"
#include "platform/sleep.h"
#include "platform/sys_error.h"
#include "serial/serial_io.h"
#include "serial/serial_port_list.h"

namespace {
constexpr const char* kOpenSource = "CSerialIO::InternalOpen";
constexpr const char* kCloseSource = "CSerialIO::InternalClose";
constexpr const char* kWriteSource = "CSerialIO::InternalWrite";
constexpr int kMissingDevicePauseMs = 1000;
// Reading the port map scans the system's devices: a channel that reopens its port several times
// a second (the rate rotation) looks it up again at most this often, and at once after an opening
// found the device gone.
constexpr std::chrono::milliseconds kPortMapMaxAge{10000};
}  // namespace

std::string CSerialIO::ResolveDevice() {
    const auto now = std::chrono::steady_clock::now();
    if (m_resolvedPath.empty() || now - m_resolvedAt >= kPortMapMaxAge) {
        m_resolvedPath = DevicePathOf(m_szDevice);
        m_resolvedAt = now;
    }
    return m_resolvedPath;
}

int32_t CSerialIO::InternalOpen() {
    using platform::SerialLine;
    m_lLastError = 0;
    const std::string path = ResolveDevice();
    m_bDeviceMissing = path.empty();
    if (path.empty()) {
        RecordOpenFailure(platform::kErrorNotFound, SerialLine::Problem::kAbsent, path);
        platform::Sleep(kMissingDevicePauseMs);
        m_lLastError = kSerialRefused;
        return kSerialRefused;
    }
    int32_t index = m_nBaudIndex.load();
    if (index < 0 || index > 2) index = 0;
    m_dwBaudrate = m_aBaudrates[index];
    m_nBaudIndex = (index + 1) % 3;

    std::lock_guard<std::recursive_mutex> lock(m_csPort);
    const char* port = PortName();
    LogWritePort(LOG_WRN, port, kOpenSource, "Start InternalOpen.");
    if (m_hFile->IsOpen()) {
        m_lLastError = kSerialAlreadyOpen;
        LogWritePort(LOG_ER, port, kOpenSource, "COM port has been opened.");
        return kSerialAlreadyOpen;
    }
    LogWritePort(LOG_WRN, port, kOpenSource, "Start create file.");
    const SerialLine::OpenResult opened = m_hFile->Open(path, m_dwBaudrate.load());
    const SerialLine::OpenStep step = opened.step;
    using Step = SerialLine::OpenStep;
    if (!opened.Ok() && step == Step::kCreate) {
        if (opened.problem == SerialLine::Problem::kAbsent) m_resolvedPath.clear();  // looked up afresh next time
        m_lLastError = opened.error;
        LogWritePort(LOG_ER, port, kOpenSource, "Fails in opening %s port in CSerialIO::InternalOpen()", m_szDevice);
        LogSysErrorPort(port, kOpenSource, opened.error);
        RecordOpenFailure(opened.error, opened.problem, path);
        return opened.error;
    }
    // The line opens and sets up in one call; the log still tells the steps it got through.
    LogWritePort(LOG_WRN, port, kOpenSource, "GetCommState.");
    if (step > Step::kReadSettings) LogWritePort(LOG_WRN, port, kOpenSource, "SetCommState.");
    // Reads wait at most SerialLine::kReadTimeoutMs; writes are bounded by the line itself.
    if (step > Step::kApplySettings) LogWritePort(LOG_WRN, port, kOpenSource, "GetCommTimeOut.");
    if (step > Step::kSetTimeouts) LogWritePort(LOG_WRN, port, kOpenSource, "PurgeComm.");
    if (!opened.Ok()) {
        static const char* const kStepFailures[] = {"", "::GetCommState failed.", "::SetCommState failed.",
                                                    "::SetCommTimeouts failed.", "::PurgeComm failed."};
        LogWritePort(LOG_ER, port, kOpenSource, "%s", kStepFailures[static_cast<int>(step)]);
        LogSysErrorPort(port, kOpenSource, opened.error);
        // The line has closed the port already.
        LogWritePort(LOG_ER, port, kOpenSource, "Try to close COM port %s.", port);
        LogWritePort(LOG_ER, port, kOpenSource, "Close COM port %s successfully.", port);
        if (step == Step::kReadSettings) {
            LogWrite(LOG_DBG, "Handle is closed in CSerialIO::InternalOpen(LPCTSTR lpszDevice, EBaudrate eBaudrate)");
        }
        m_lLastError = opened.error;
        RecordOpenFailure(opened.error, opened.problem, path);
        return opened.error;
    }
    {
        std::lock_guard<std::mutex> failureLock(m_failureMutex);
        m_openFailure.device = path;  // kept for telling which device gave no answer
    }
    m_bPortOpened = true;
    LogWritePort(LOG_WRN, port, kOpenSource, "Create write event.");
    m_hevtWrite.Reset();
    LogWritePort(LOG_WRN, port, kOpenSource, "Create read event.");
    m_hevtRead.Reset();
    LogWritePort(LOG_WRN, port, kOpenSource, "Start InternalOpen Completed.");
    return 0;
}

int32_t CSerialIO::InternalClose() {
    std::lock_guard<std::recursive_mutex> lock(m_csPort);
    const char* port = PortName();
    LogWritePort(LOG_WRN, port, kCloseSource, "InternalClose start.");
    m_lLastError = 0;
    if (!m_hFile->IsOpen()) {
        LogWritePort(LOG_ER, port, kCloseSource, "COM port handle is null.");
        return 0;
    }
    LogWritePort(LOG_WRN, port, kCloseSource, "Try to close COM port %s.", port);
    // Inside a run the port keeps the tool's settings: the bytes just written are still on their
    // way at that rate. Only the run's end gives the port back as it was found.
    const auto mode = m_bReleasing.load() ? platform::SerialLine::CloseMode::kRestoreSettings
                                          : platform::SerialLine::CloseMode::kKeepSettings;
    int error = m_hFile->Close(mode);
    if (error != 0) {
        m_lLastError = error;
        LogWritePort(LOG_ER, port, kCloseSource, "Close COM port failed.");
        LogSysErrorPort(port, kCloseSource, error);
    }
    // The events are members and cannot fail to close. The read event is left alone: it may
    // carry a stop request for the listener's next pause.
    m_hevtWrite.Reset();
    LogWritePort(LOG_WRN, port, kCloseSource, "Close COM port %s successfully.", port);
    return m_lLastError;
}

int32_t CSerialIO::InternalWrite(const void* data, int32_t length, uint32_t* written) {
    uint32_t ownCount = 0;
    uint32_t* count = written ? written : &ownCount;
    m_lLastError = 0;
    *count = 0;
    if (!m_hFile->IsOpen()) {
        m_lLastError = kSerialNotOpen;
        LogWritePort(LOG_ER, PortName(), kWriteSource, "COM port handle is null");
        return kSerialNotOpen;
    }
    std::lock_guard<std::recursive_mutex> lock(m_csPort);
    const char* port = PortName();
    size_t size = length > 0 && data ? static_cast<size_t>(length) : 0;
    LogWritePort(LOG_DBG, port, kWriteSource, "Write data");
    LogDumpPort(LOG_DBG, port, kWriteSource, data, static_cast<int32_t>(size));
    size_t done = 0;
    // The listener may have closed the port since the look above.
    int error = m_hFile->IsOpen() ? m_hFile->Write(data, size, &done) : kSerialNotOpen;
    *count = static_cast<uint32_t>(done);
    m_lLastError = error;
    if (error != 0 && error != kSerialNotOpen) NoteLineError(error);
    m_hevtWrite.Set();
    return error;
}

int32_t CSerialIO::SendProbe() {
    const char* port = PortName();
    LogWritePort(LOG_WRN, port, "CSerialIO::SendProbe", "Write detection packet to com port.");
    ++m_nProbesSent;
    uint32_t written = 0;
    int32_t result = InternalWrite(kDetectionPacket, static_cast<int32_t>(kDetectionPacketSize), &written);
    if (result != 0 || written < kDetectionPacketSize) {
        LogWritePort(LOG_ER, port, "CSerialIO::SendProbe", "Write detection packet to com port failed.");
        return 0;
    }
    LogWritePort(LOG_WRN, port, "CSerialIO::SendProbe", "Write detection packet successfully.");
    return 1;
}
