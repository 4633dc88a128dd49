// SPDX-License-Identifier: Apache-2.0
#include "serial/serial_io.h"

#include <algorithm>
#include <cstring>

#include "log/log.h"
#include "platform/file_holder.h"
#include "platform/sleep.h"
#include "platform/sys_error.h"

namespace {
constexpr char kDevicePrefix[] = "\\\\.\\";  // \\.\ before a device name the system would not find bare
constexpr size_t kDevicePrefixSize = 4;
constexpr int32_t kCloseStopLimitMs = 180000;
constexpr int32_t kReadWhenAvailableStepMs = 100;
// A reply that keeps growing past this many steps is taken as it stands.
constexpr int kReplyRestStepsMax = 20;
// Quiet steps after which a reply without its closing flag is taken as it stands.
constexpr int kReplyCutQuietSteps = 5;
constexpr uint8_t kFrameFlag = 0x7E;

PortFailure::Kind KindOf(platform::SerialLine::Problem problem) {
    using Problem = platform::SerialLine::Problem;
    switch (problem) {
    case Problem::kAbsent: return PortFailure::Kind::kAbsent;
    case Problem::kNoAccess: return PortFailure::Kind::kNoAccess;
    case Problem::kInUse: return PortFailure::Kind::kInUse;
    case Problem::kNotSerial: return PortFailure::Kind::kNotSerial;
    case Problem::kNone:
    case Problem::kRateRefused:
    case Problem::kOther: break;
    }
    return PortFailure::Kind::kOther;
}
}  // namespace

CSerialIO::CSerialIO(std::unique_ptr<platform::SerialLine> line)
    : m_hFile(std::move(line)), m_pRxBuffer(new uint8_t[kSerialRxInitialCapacity]()) {
    m_nRxCapacity.store(kSerialRxInitialCapacity);
}

CSerialIO::~CSerialIO() { DestroyChannel(); }

void CSerialIO::DestroyChannel() {
    if (m_bDestroying.exchange(1) != 0) return;
    m_bReleasing = true;
    StopListener(-1);
    if (m_hStaleThread.joinable()) {  // a listener that outlived an earlier stop limit
        m_bStop = 1;
        m_hevtRead.Set();
        m_hFile->WakeReader();
        m_hStaleThread.join();
        m_bStop = 0;
    }
    InternalClose();
}

const char* CSerialIO::PortName() const {
    return std::strncmp(m_szDevice, kDevicePrefix, kDevicePrefixSize) == 0 ? m_szDevice + kDevicePrefixSize
                                                                           : m_szDevice;
}

int32_t CSerialIO::Open(const char* lpszDevice, uint32_t baudrate) {
    m_lLastError = 0;
    // A listener still at work (retrying a missing port, say) reads m_szDevice: the channel is
    // in use as much as with the port open.
    if (m_hFile->IsOpen() || m_hThread.joinable() || m_hStaleThread.joinable()) {
        m_lLastError = kSerialAlreadyOpen;
        return kSerialAlreadyOpen;
    }
    const char* name = lpszDevice ? lpszDevice : "";
    size_t length = std::strlen(name);
    bool prefixed = length > 4 && std::strstr(name, kDevicePrefix) == nullptr;
    // A name that does not fit is refused whole: a cut-off name could open another port.
    if (length + (prefixed ? kDevicePrefixSize : 0) >= sizeof m_szDevice) {
        LogWritePort(LOG_ER, name, "CSerialIO::Open", "Device name %s is too long: at most %d characters.", name,
                     static_cast<int>(sizeof m_szDevice - 1));
        m_lLastError = platform::kErrorNameTooLong;
        return platform::kErrorNameTooLong;
    }
    std::memset(m_szDevice, 0, sizeof m_szDevice);
    if (prefixed) std::memcpy(m_szDevice, kDevicePrefix, kDevicePrefixSize);
    std::memcpy(m_szDevice + (prefixed ? kDevicePrefixSize : 0), name, length);
    m_dwBaudrate = baudrate;
    m_resolvedPath.clear();  // a new run reads the port map afresh
    {
        std::lock_guard<std::mutex> lock(m_failureMutex);
        m_openFailure = PortFailure{};
        m_gone = PortFailure{};
        m_toldHolder.clear();
    }
    m_bReleasing = false;
    m_bPortUnusable = false;
    m_bPortOpened = false;
    m_eFirstMode = PHONE_MODE_UNKNOWN;
    m_statusEsn = -1;
    m_hModeDecided.Reset();
    StartListener();
    return m_lLastError;
}

void CSerialIO::RecordOpenFailure(int error, platform::SerialLine::Problem problem, const std::string& device) {
    PortFailure failure;
    failure.kind = device.empty() ? PortFailure::Kind::kAbsent : KindOf(problem);
    failure.error = error;
    failure.device = device;
    if (failure.kind == PortFailure::Kind::kInUse) {
        if (auto holder = platform::FindHolder(device)) {
            failure.holderPid = holder->pid;
            failure.holderName = holder->name;
        }
    }
    bool tell = false;
    {
        std::lock_guard<std::mutex> lock(m_failureMutex);
        m_openFailure = failure;
        if (failure.kind == PortFailure::Kind::kInUse) {
            // Told once per holder: the retries go on quietly while the same program holds it.
            const std::string holder = std::to_string(failure.holderPid) + " " + failure.holderName;
            tell = holder != m_toldHolder;
            m_toldHolder = holder;
        }
    }
    if (tell) {
        LogWritePort(LOG_ER, PortName(), "CSerialIO::InternalOpen", "%s is in use; waiting for it to let go.",
                     device.c_str());
        std::lock_guard<std::mutex> lock(m_noticeMutex);
        if (m_portNotice && !m_bDestroying.load()) m_portNotice(failure);
    }
    if (!platform::SerialLine::IsLasting(problem) || device.empty()) return;
    LogWritePort(LOG_ER, PortName(), "CSerialIO::InternalOpen", "%s cannot be used: %s", device.c_str(),
                 platform::SysErrorText(error).c_str());
    m_bPortUnusable = true;
    m_hModeDecided.Set();
}

void CSerialIO::SetPortNotice(PortNotice notice) {
    std::lock_guard<std::mutex> lock(m_noticeMutex);
    m_portNotice = std::move(notice);
}

void CSerialIO::NoteLineError(int error) {
    // Only a device that had answered can have gone away "in the middle" of anything.
    if (!platform::IsDeviceGone(error) || m_eFirstMode.load() == PHONE_MODE_UNKNOWN) return;
    std::lock_guard<std::mutex> lock(m_failureMutex);
    if (m_gone.kind != PortFailure::Kind::kNone) return;  // the first error tells it
    m_gone.kind = PortFailure::Kind::kGone;
    m_gone.error = error;
    m_gone.device = m_openFailure.device;
}

PortFailure CSerialIO::GoneFailure() const {
    std::lock_guard<std::mutex> lock(m_failureMutex);
    return m_gone;
}

PortFailure CSerialIO::DetectionFailure() const {
    std::lock_guard<std::mutex> lock(m_failureMutex);
    if (m_bPortUnusable.load() || !m_bPortOpened.load()) {
        PortFailure failure = m_openFailure;
        if (failure.kind == PortFailure::Kind::kNone) failure.kind = PortFailure::Kind::kAbsent;
        return failure;
    }
    PortFailure failure;
    failure.kind = PortFailure::Kind::kNoAnswer;
    failure.device = m_openFailure.device;
    return failure;
}

bool CSerialIO::WaitModeDecided(int ms) { return m_hModeDecided.Wait(platform::ScaledMs(ms)); }

bool CSerialIO::WaitModeDecidedFor(std::chrono::milliseconds span) {
    return m_hModeDecided.Wait(static_cast<int>(span.count()));
}

int32_t CSerialIO::Close() {
    LogWritePort(LOG_WRN, PortName(), "CSerialIO::Close", "Try to close com port %s", PortName());
    m_lLastError = 0;
    m_bReleasing = true;
    StopListener(kCloseStopLimitMs);
    if (!m_hFile->IsOpen()) return m_lLastError;
    if (m_bListenerAlive.load()) {
        // A listener that outlived the stop limit still reads this port; it closes it on its way out.
        LogWritePort(LOG_ER, PortName(), "CSerialIO::Close", "Listener still ending; it closes the port.");
        return m_lLastError;
    }
    if (InternalClose() == 0) {
        LogWritePort(LOG_WRN, PortName(), "CSerialIO::Close", "Close com port %s successfully", PortName());
        return 1;
    }
    LogWritePort(LOG_ER, PortName(), "CSerialIO::Close", "internal close failed.");
    LogWritePort(LOG_ER, PortName(), "CSerialIO::Close", "Close com port %s failed", PortName());
    return m_lLastError;
}

int32_t CSerialIO::Write(const void* data, int32_t length, uint32_t* written) {
    if (m_bBlockWrites.load()) return kSerialRefused;
    ++m_lPendingWrites;
    int32_t result = InternalWrite(data, length, written);
    --m_lPendingWrites;
    return result;
}

int32_t CSerialIO::Read(void* dest, int32_t capacity, int32_t* taken) {
    m_lLastError = 0;
    if (taken) *taken = 0;
    if (!m_hFile->IsOpen()) {
        m_lLastError = kSerialNotOpen;
        return kSerialNotOpen;
    }
    std::lock_guard<std::recursive_mutex> lock(m_csRx);
    uint32_t readPos = m_nRxRead.load();
    uint32_t unread = m_nRxWrite.load() - readPos;
    uint32_t count = std::min<uint32_t>(capacity > 0 && dest ? static_cast<uint32_t>(capacity) : 0, unread);
    if (count > 0) std::memcpy(dest, m_pRxBuffer.get() + readPos, count);
    m_nRxRead = readPos + count;
    if (taken) *taken = static_cast<int32_t>(count);
    return 0;
}

bool CSerialIO::UnreadEndsAFrame() const {
    std::lock_guard<std::recursive_mutex> lock(m_csRx);
    const uint32_t end = m_nRxWrite.load();
    return end != m_nRxRead.load() && m_pRxBuffer[end - 1] == kFrameFlag;
}

uint32_t CSerialIO::UnreadCount() const {
    std::lock_guard<std::recursive_mutex> lock(m_csRx);
    return m_nRxWrite.load() - m_nRxRead.load();
}

int32_t CSerialIO::ReadWhenAvailable(void* dest, int32_t capacity, int32_t* taken) {
    if (taken) *taken = 0;
    // A handset that never answers must not hold the caller forever.
    int looks = kReadWhenAvailableLimitMs / kReadWhenAvailableStepMs;
    while (UnreadCount() == 0) {
        if (looks-- <= 0) {
            m_lLastError = platform::kErrorTimedOut;
            return platform::kErrorTimedOut;
        }
        platform::Sleep(kReadWhenAvailableStepMs);
    }
    // The rest of the reply, which may come in pieces: until it stops growing for a step.
    // A reply is whole at its frame's closing flag: a pause inside a frame (a busy handset, an
    // adapter's latency timer, a loaded machine) is not its end, so without the flag the rest is
    // waited for longer, and a frame cut short is not taken whole, leaving its tail for the next.
    uint32_t seen = UnreadCount();
    int quietSteps = 0;
    for (int step = 0; step < kReplyRestStepsMax; ++step) {
        platform::Sleep(kReadWhenAvailableStepMs);
        const uint32_t now = UnreadCount();
        quietSteps = now == seen ? quietSteps + 1 : 0;
        seen = now;
        if (quietSteps >= (UnreadEndsAFrame() ? 1 : kReplyCutQuietSteps)) break;
    }
    return Read(dest, capacity, taken);
}

int32_t CSerialIO::BaudIndexOf(uint32_t baudrate) const {
    for (int32_t i = 0; i < 3; ++i) {
        if (m_aBaudrates[i] == baudrate) return i;
    }
    return -1;
}

void CSerialIO::AppendReceived(const uint8_t* bytes, uint32_t n) {
    std::lock_guard<std::recursive_mutex> lock(m_csRx);
    uint32_t readPos = m_nRxRead.load();
    uint32_t writePos = m_nRxWrite.load();
    uint32_t capacity = m_nRxCapacity.load();
    uint32_t unread = writePos - readPos;
    if (unread + n > capacity) {
        uint32_t grown = capacity + (n / kSerialRxInitialCapacity + 1) * kSerialRxInitialCapacity;
        std::unique_ptr<uint8_t[]> buffer(new uint8_t[grown]());
        std::memcpy(buffer.get(), m_pRxBuffer.get() + readPos, unread);
        m_pRxBuffer = std::move(buffer);
        m_nRxCapacity = grown;
        readPos = 0;
        writePos = unread;
    } else if (writePos + n >= capacity) {
        std::memmove(m_pRxBuffer.get(), m_pRxBuffer.get() + readPos, unread);
        readPos = 0;
        writePos = unread;
    }
    std::memcpy(m_pRxBuffer.get() + writePos, bytes, n);
    m_nRxRead = readPos;
    m_nRxWrite = writePos + n;
}

std::optional<uint32_t> CSerialIO::StatusEsn() const {
    const int64_t esn = m_statusEsn.load();
    if (esn < 0) return std::nullopt;
    return static_cast<uint32_t>(esn);
}
