// SPDX-License-Identifier: Apache-2.0
#include "link/ser_com_library.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/frame_bytes.h"
#include "link/packet_packer.h"
#include "log/log.h"
#include "platform/sleep.h"

namespace {
const char kSrcOpen[] = "CSerCOMLibrary::OpenComport";
const char kSrcClose[] = "CSerCOMLibrary::CloseCOMPort";
const char kSrcTxRx[] = "CSerCOMLibrary::TxRx";
const char kSrcOnEvent[] = "CSerCOMLibrary::OnEvent";
const char kSrcReadReturn[] = "CSerCOMLibrary::ReadReturnPacket";
const char kSrcDiag[] = "CSerCOMLibrary::IsDIAGConnected";
const char kSrcDl[] = "CSerCOMLibrary::IsDLConnected";

// How often a listener blocked in the hand-over looks whether its channel is being stopped.
constexpr int kHandOverPollMs = 20;
// The baud rate the owner hands to Open; the listener's rotation picks the real one.
constexpr uint32_t kOpenBaudrate = 115200;
}  // namespace

CSerCOMLibrary::CSerCOMLibrary(std::unique_ptr<platform::SerialLine> line)
    : CSerialIO(std::move(line)), m_pRecvBuffer(std::make_unique<uint8_t[]>(RECV_BUFFER_SIZE)) {
    std::memset(m_pRecvBuffer.get(), 0, RECV_BUFFER_SIZE);
}

CSerCOMLibrary::~CSerCOMLibrary() {
    // The listener calls OnEvent, which uses this object's members: end it before they go.
    DestroyChannel();
}

int32_t CSerCOMLibrary::PortUnusable(const char* source) {
    LogWritePort(LOG_ER, PortName(), source, "The port cannot be used; no handset can be looked for.");
    return SERCOM_ERR_OPEN;
}

bool CSerCOMLibrary::MayLookAgain(int32_t attempt, std::chrono::steady_clock::time_point start) const {
    if (StopRequested()) return false;
    if (attempt < DETECTION_TRIES) return true;
    return std::chrono::steady_clock::now() - start < std::chrono::milliseconds(m_nDetectionPatienceMs.load());
}

bool CSerCOMLibrary::StopRequested() const { return m_pStopRequest != nullptr && m_pStopRequest->load() != 0; }

int32_t CSerCOMLibrary::OpenComport(const char* label, const char* portName) {
    if (label == nullptr || portName == nullptr || *portName == '\0') {
        LogWriteSrc(LOG_DBG, kSrcOpen, "Function parameters contain null.");
        return SERCOM_ERR_PARAM;
    }
    // The decoder belongs to the listener while one runs (Open then refuses anyway).
    if (!IsListenerRunning()) m_unpacker.Reset();
    return Open(portName, kOpenBaudrate) == 0 ? SERCOM_OK : SERCOM_ERR_OPEN;
}

int32_t CSerCOMLibrary::CloseCOMPort() {
    LogWritePort(LOG_WRN, PortName(), kSrcClose, "Try to close COM %s", Device());
    return Close();
}

size_t CSerCOMLibrary::Pack(const uint8_t* command, int32_t commandLength, uint8_t lead) {
    if (command == nullptr || commandLength < 0) return 0;
    const size_t length = static_cast<size_t>(commandLength);
    if (m_frame.size() < PackedSizeMax(length)) m_frame.resize(PackedSizeMax(length));
    return PackPacket(std::span<const uint8_t>(command, length), lead, FRAME_FLAG, m_frame);
}

int32_t CSerCOMLibrary::DIAGTxRx(const uint8_t* command, int32_t commandLength, uint8_t* response,
                                 int32_t responseCapacity, int32_t timeoutMs) {
    if (Mode() != PHONE_MODE_DIAG) return SERCOM_ERR_WRONG_MODE;
    return TxRx(command, commandLength, response, responseCapacity, timeoutMs);
}

int32_t CSerCOMLibrary::DLTxRx(const uint8_t* command, int32_t commandLength, uint8_t* response,
                               int32_t responseCapacity, int32_t timeoutMs) {
    if (Mode() != PHONE_MODE_DL) return SERCOM_ERR_WRONG_MODE;
    return TxRx(command, commandLength, response, responseCapacity, timeoutMs);
}

bool CSerCOMLibrary::TakeReadyFrame(uint8_t* dest, int32_t capacity, int32_t offset, int32_t& length) {
    length = m_nResponseLen.load();
    if (length <= 0) {
        // Nothing is in hand-over: releasing the listener now would free it too early later.
        length = 0;
        return true;
    }
    if (capacity - offset < length) {
        // Drop the frame but release the listener, which would otherwise stay blocked.
        m_nResponseLen.store(0);
        m_hResponseTaken.Set();
        return false;
    }
    std::memset(dest, 0, static_cast<size_t>(capacity));
    std::memcpy(dest + offset, m_unpacker.GetBuffer(), static_cast<size_t>(length));
    // Cleared before the listener is released, so neither this thread nor a later call can take
    // the same frame twice, whenever the listener gets to run again.
    m_nResponseLen.store(0);
    m_hResponseTaken.Set();
    return true;
}

int32_t CSerCOMLibrary::TxRx(const uint8_t* command, int32_t commandLength, uint8_t* response, int32_t responseCapacity,
                             int32_t timeoutMs) {
    const EPhoneMode mode = Mode();
    m_unpacker.SetMode(mode);
    const uint8_t lead = mode == PHONE_MODE_DL ? FRAME_FLAG : FRAME_NO_LEAD;
    const char* port = PortName();

    LogWritePort(LOG_DBG, port, kSrcTxRx, "Unpacked buffer source before TXRX");
    LogDumpPort(LOG_DBG, port, kSrcTxRx, command, commandLength);
    const size_t frameLength = Pack(command, commandLength, lead);
    if (frameLength == 0) return SERCOM_ERR_WRITE;
    LogWritePort(LOG_DBG, port, kSrcTxRx, "Packed buffer source before TXRX");
    LogDumpPort(LOG_DBG, port, kSrcTxRx, m_frame.data(), static_cast<int32_t>(frameLength));

    uint32_t written = 0;
    const int32_t result = Write(m_frame.data(), static_cast<int32_t>(frameLength), &written);
    if (result != 0 || written != frameLength) return SERCOM_ERR_WRITE;

    if (!m_hResponseReady.Wait(platform::ScaledResponseWaitMs(timeoutMs))) {
        LogWritePort(LOG_ER, port, kSrcTxRx, "Time out in OnRecv.");
        return SERCOM_ERR_TIMEOUT;
    }
    int32_t length = 0;
    if (response == nullptr || !TakeReadyFrame(response, responseCapacity, 0, length)) {
        LogWritePort(LOG_ER, port, kSrcTxRx, "Buffer overflow.");
        return SERCOM_ERR_TIMEOUT;
    }
    return length;
}

int32_t CSerCOMLibrary::DLSend(const uint8_t* command, int32_t commandLength) {
    const size_t frameLength = Pack(command, commandLength, FRAME_FLAG);
    if (frameLength == 0) return SERCOM_ERR_WRITE;
    uint32_t written = 0;
    const int32_t result = Write(m_frame.data(), static_cast<int32_t>(frameLength), &written);
    std::this_thread::yield();
    return result == 0 && written == frameLength ? 0 : SERCOM_ERR_WRITE;
}

int32_t CSerCOMLibrary::ReadReturnPacket(uint8_t* buffer, int32_t capacity) {
    if (m_nResponseLen.load() <= 0) return 0;
    const char* port = PortName();
    int32_t total = 0;
    while (m_nPendingResponses.load() > 0) {
        if (!m_hResponseReady.Wait(platform::ScaledResponseWaitMs(READ_RETURN_TIMEOUT_MS))) {
            LogWritePort(LOG_ER, port, kSrcReadReturn, "Time out in OnRecv.");
            m_nPendingResponses.exchange(0);
            return SERCOM_ERR_TIMEOUT;
        }
        int32_t length = 0;
        if (buffer == nullptr || !TakeReadyFrame(buffer, capacity, total, length)) {
            LogWritePort(LOG_ER, port, kSrcReadReturn, "Buffer overflow.");
            return SERCOM_ERR_TIMEOUT;
        }
        total += length;
        m_nPendingResponses.fetch_sub(1);
        platform::Sleep(READ_RETURN_PAUSE_MS);
    }
    return m_nResponseLen.load();
}

bool CSerCOMLibrary::WaitFrameTaken() {
    while (!m_hResponseTaken.Wait(kHandOverPollMs)) {
        // Close, a mode switch and the destructor stop the listener and wait for it to end:
        // a frame nobody will take must not hold it.
        if (m_bStop.load() != 0 || m_bDestroying.load() != 0) return false;
    }
    return true;
}

void CSerCOMLibrary::DecodeBatch(const uint8_t* bytes, int32_t count) {
    const char* port = PortName();
    size_t position = 0;
    const size_t total = static_cast<size_t>(count);
    while (position < total) {
        size_t taken = 0;
        const int32_t result = m_unpacker.PutBytes(bytes + position, total - position, taken);
        position += taken;
        m_nResponseLen.store(result);
        if (result == 0) break;  // every byte taken, the frame not yet complete
        if (result < 0) {
            LogWritePort(LOG_ER, port, kSrcOnEvent, "Packet check fails with error code %d", result);
            m_nResponseLen.store(0);
            m_unpacker.Reset();
            return;
        }
        LogWritePort(LOG_DBG, port, kSrcOnEvent, "The mem buffer is");
        LogDumpPort(LOG_DBG, port, kSrcOnEvent, m_unpacker.GetBuffer(), result);
        m_nPendingResponses.fetch_add(1);
        m_hResponseReady.Set();
        if (!WaitFrameTaken()) {
            // The channel is stopping: withdraw the frame so no later wait takes it as fresh.
            m_nResponseLen.store(0);
            m_hResponseReady.Reset();
            m_unpacker.Reset();
            return;
        }
        if (const int delay = m_nListenerDelayMsForTest.load(); delay > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        }
        m_nResponseLen.store(0);
        m_unpacker.Reset();
    }
    LogWritePort(LOG_DBG, port, kSrcOnEvent, "Complete OnRecv.");
}

void CSerCOMLibrary::OnEvent(EChannelEvent event) {
    std::memset(m_pRecvBuffer.get(), 0, RECV_BUFFER_SIZE);
    const EPhoneMode mode = Mode();
    if (event != EVENT_DATA) return;

    const char* port = PortName();
    LogWritePort(LOG_DBG, port, kSrcOnEvent, "Get received data");
    int32_t count = 0;
    if (Read(m_pRecvBuffer.get(), RECV_BUFFER_SIZE, &count) != 0 || count <= 0) {
        LogWritePort(LOG_DBG, port, kSrcOnEvent, "Read data from read buffer failed.");
        return;
    }
    LogWritePort(LOG_DBG, port, kSrcOnEvent, "The original received buffer is");
    LogDumpPort(LOG_DBG, port, kSrcOnEvent, m_pRecvBuffer.get(), count);

    m_unpacker.SetMode(mode);
    if (mode == PHONE_MODE_DIAG || mode == PHONE_MODE_DL) {
        DecodeBatch(m_pRecvBuffer.get(), count);
        return;
    }
    if (mode == PHONE_MODE_DS) {
        std::lock_guard<std::mutex> lock(m_atMutex);
        const size_t room = m_atCapture ? kAtReplyMax - m_atText.size() : 0;
        m_atText.append(reinterpret_cast<const char*>(m_pRecvBuffer.get()), std::min(room, static_cast<size_t>(count)));
    }
    LogWritePort(LOG_DBG, port, kSrcOnEvent, "Complete OnRecv.");
}

std::string CSerCOMLibrary::AtExchange(const char* command, size_t size, int32_t timeoutMs) {
    if (Mode() != PHONE_MODE_DS || command == nullptr) return {};
    {
        std::lock_guard<std::mutex> lock(m_atMutex);
        m_atText.clear();
        m_atCapture = true;
    }
    std::string text;
    if (InternalWrite(command, static_cast<int32_t>(size)) == 0) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(m_atMutex);
                text = m_atText;
            }
            const bool ended = text.find("OK\r") != std::string::npos || text.find("ERROR") != std::string::npos ||
                               text.size() >= kAtReplyMax;
            if (ended || std::chrono::steady_clock::now() >= end || StopRequested()) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(READ_RETURN_PAUSE_MS / 10));
        }
    }
    std::lock_guard<std::mutex> lock(m_atMutex);
    m_atCapture = false;
    m_atText.clear();
    return text;
}

int32_t CSerCOMLibrary::IsDIAGConnected() {
    const char* port = PortName();
    LogWritePort(LOG_DBG, port, kSrcDiag, "Start phone mode detection.");
    const auto start = std::chrono::steady_clock::now();
    for (int32_t attempt = 0; MayLookAgain(attempt, start); ++attempt) {
        if (IsPortUnusable()) return PortUnusable(kSrcDiag);
        switch (Mode()) {
        case PHONE_MODE_DS: return ChangeDS2DIAG() == 1 ? SERCOM_OK : SERCOM_ERR_CHANGE;
        case PHONE_MODE_DIAG: LogWritePort(LOG_WRN, port, kSrcDiag, "DIAG detected."); return SERCOM_OK;
        case PHONE_MODE_DL:
            LogWritePort(LOG_ER, port, kSrcDiag, "Mobile current mode is DL, can not change to DIAG.");
            return SERCOM_ERR_DL_NOT_DIAG;
        default:
            LogWritePort(LOG_ER, port, kSrcDiag, "Can not determine phone mode, so wait a moment.");
            WaitModeDecided(DIAG_DETECTION_PAUSE_MS);
            break;
        }
    }
    LogWritePort(LOG_ER, port, kSrcDiag, "Phone mode detection failed.");
    return SERCOM_ERR_NO_MODE;
}

int32_t CSerCOMLibrary::IsDLConnected() {
    const char* port = PortName();
    LogWritePort(LOG_WRN, port, kSrcDl, "Start phone mode detection.");
    const auto start = std::chrono::steady_clock::now();
    for (int32_t attempt = 0; MayLookAgain(attempt, start); ++attempt) {
        if (IsPortUnusable()) return PortUnusable(kSrcDl);
        switch (Mode()) {
        case PHONE_MODE_DS:
            if (ChangeDS2DL() != 1) return SERCOM_ERR_CHANGE;
            LogWritePort(LOG_WRN, port, kSrcDl, "DS to DL change completed.");
            return SERCOM_OK;
        case PHONE_MODE_DIAG:
            if (ChangeDIAG2DL() != 1) {
                LogWritePort(LOG_ER, port, kSrcDl, "DIAG to DL failed.");
                return SERCOM_ERR_CHANGE;
            }
            LogWritePort(LOG_WRN, port, kSrcDl, "DIAG to DL change completed.");
            return SERCOM_OK;
        case PHONE_MODE_DL: LogWritePort(LOG_ER, port, kSrcDl, "DL detected."); return SERCOM_OK;
        default:
            LogWritePort(LOG_ER, port, kSrcDl, "Can not determine phone mode, so wait a moment.");
            WaitModeDecided(DL_DETECTION_PAUSE_MS);
            break;
        }
    }
    LogWritePort(LOG_ER, port, kSrcDl, "Phone mode detection failed.");
    return SERCOM_ERR_NO_MODE;
}
