// SPDX-License-Identifier: Apache-2.0
#include <cerrno>
#include <string>

#include "log/log.h"
#include "platform/sleep.h"
#include "serial/serial_io.h"
#include "serial/serial_port_list.h"

namespace {
constexpr const char* kOpenSource = "CSerialIO::InternalOpen";
constexpr const char* kCloseSource = "CSerialIO::InternalClose";
constexpr const char* kWriteSource = "CSerialIO::InternalWrite";
constexpr int kMissingDevicePauseMs = 1000;
}  // namespace

int32_t CSerialIO::InternalOpen() {
    m_lLastError = 0;
    std::string path = DevicePathOf(m_szDevice);
    if (path.empty()) {
        RecordOpenFailure(ENOENT, path);
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
    int error = m_hFile->Open(path);
    if (error != 0) {
        m_lLastError = error;
        LogWritePort(LOG_ER, port, kOpenSource, "Fails in opening %s port in CSerialIO::InternalOpen()", m_szDevice);
        LogSysErrorPort(port, kOpenSource, error);
        RecordOpenFailure(error, path);
        return error;
    }

    const char* failure = nullptr;
    bool settingsUnread = false;
    LogWritePort(LOG_WRN, port, kOpenSource, "GetCommState.");
    if ((error = m_hFile->ReadSettings()) != 0) {
        failure = "::GetCommState failed.";
        settingsUnread = true;
    } else {
        LogWritePort(LOG_WRN, port, kOpenSource, "SetCommState.");
        if ((error = m_hFile->ApplySettings(m_dwBaudrate.load())) != 0) {
            failure = "::SetCommState failed.";
        } else {
            // Reads wait at most SerialLine::kReadTimeoutMs; writes are bounded by the port itself.
            LogWritePort(LOG_WRN, port, kOpenSource, "GetCommTimeOut.");
            LogWritePort(LOG_WRN, port, kOpenSource, "PurgeComm.");
            // Stale input only: purging output too would drop a command the handset has not
            // yet read (a pseudo-terminal keeps it there), such as "at$qcdmg" before a restart.
            if ((error = m_hFile->PurgeInput()) != 0) failure = "::PurgeComm failed.";
        }
    }
    if (failure) {
        LogWritePort(LOG_ER, port, kOpenSource, "%s", failure);
        LogSysErrorPort(port, kOpenSource, error);
        LogWritePort(LOG_ER, port, kOpenSource, "Try to close COM port %s.", port);
        int closeError = m_hFile->Close();
        if (closeError != 0) LogSysErrorPort(port, kOpenSource, closeError);
        LogWritePort(LOG_ER, port, kOpenSource, "Close COM port %s successfully.", port);
        if (settingsUnread) {
            LogWrite(LOG_DBG, "Handle is closed in CSerialIO::InternalOpen(LPCTSTR lpszDevice, EBaudrate eBaudrate)");
        }
        m_lLastError = error;
        RecordOpenFailure(error, path);
        return error;
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
    int error = m_hFile->Close();
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
    m_hevtWrite.Set();
    return error;
}

int32_t CSerialIO::SendProbe() {
    const char* port = PortName();
    LogWritePort(LOG_WRN, port, "CSerialIO::SendProbe", "Write detection packet to com port.");
    uint32_t written = 0;
    int32_t result = InternalWrite(kDetectionPacket, static_cast<int32_t>(kDetectionPacketSize), &written);
    if (result != 0 || written < kDetectionPacketSize) {
        LogWritePort(LOG_ER, port, "CSerialIO::SendProbe", "Write detection packet to com port failed.");
        return 0;
    }
    LogWritePort(LOG_WRN, port, "CSerialIO::SendProbe", "Write detection packet successfully.");
    return 1;
}
