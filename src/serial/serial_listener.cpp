// SPDX-License-Identifier: Apache-2.0
#include <algorithm>
#include <chrono>
#include <system_error>

#include "log/log.h"
#include "platform/sleep.h"
#include "platform/sys_error.h"
#include "serial/idle_rotation_log.h"
#include "serial/serial_io.h"

namespace {
constexpr const char* kStartSource = "CSerialIO::StartListener";
constexpr const char* kStopSource = "CSerialIO::StopListener";
constexpr const char* kThreadSource = "CSerialIO::ThreadProc";
constexpr int kReopenPauseMs = 100;
constexpr int kProbePauseMs = 100;
constexpr int kRetryPauseMs = 500;
// Rounds of a read window that bytes before the detection packet may hold the line busy.
constexpr int kQuietRoundsMax = 12;
constexpr int kQuietWindowsAfterDiscard = 2;

EChannelEvent FoundEvent(EPhoneMode mode) {
    switch (mode) {
    case PHONE_MODE_DS: return EVENT_DS_FOUND;
    case PHONE_MODE_DIAG: return EVENT_DIAG_FOUND;
    default: return EVENT_DL_FOUND;
    }
}
}  // namespace

int32_t CSerialIO::StartListener() {
    const char* port = PortName();
    LogWritePort(LOG_WRN, port, kStartSource, "Start listener.");
    if (m_hThread.joinable()) {
        LogWritePort(LOG_WRN, port, kStartSource, "Thread has already existed.");
    } else {
        if (!ReapStaleListener()) {
            // Two listeners must never read one port: the old one is still on its way out.
            m_lLastError = platform::kErrorBusy;
            LogWritePort(LOG_ER, port, kStartSource, "Previous listener is still ending; no new listener started.");
            return platform::kErrorBusy;
        }
        m_bListenerAlive = true;
        try {
            m_hThread = std::thread([this] { ThreadProc(); });
        } catch (const std::system_error& failure) {
            m_bListenerAlive = false;
            int error = platform::SystemErrorOf(failure.code());
            m_lLastError = error;
            LogWritePort(LOG_ER, port, kStartSource, "Start listener failed.");
            LogSysErrorPort(port, kStartSource, error);
            return error;
        }
    }
    LogWritePort(LOG_WRN, port, kStartSource, "Start listener completed.");
    m_lLastError = 0;
    return 0;
}

int32_t CSerialIO::StopListener(int32_t timeoutMs) {
    const char* port = PortName();
    if (!m_hThread.joinable()) {
        LogWritePort(LOG_ER, port, kStopSource, "Listen thread is null, so no stop operation.");
        m_lLastError = 0;
        return 0;
    }
    m_bStop = 1;
    LogWritePort(LOG_WRN, port, kStopSource, "Start stop listen thread.");
    m_hevtRead.Set();
    m_hFile->WakeReader();
    if (m_hThread.get_id() == std::this_thread::get_id()) {
        // Asked from OnEvent: the loop ends after this pass; whoever stops it next joins it.
        m_lLastError = 0;
        return 0;
    }
    bool ended = WaitListenerEnded(timeoutMs);
    LogWritePort(LOG_WRN, port, kStopSource, "Complete stop listen thread.");
    if (ended) {
        m_hThread.join();
        m_bStop = 0;
    } else {
        // m_bStop stays set so the listener still ends; StartListener refuses until it has.
        LogWritePort(LOG_ER, port, kStopSource, "Listener did not end within %d ms.", timeoutMs);
        m_hStaleThread = std::move(m_hThread);
    }
    m_eMode = PHONE_MODE_UNKNOWN;
    m_lLastError = 0;
    return 0;
}

bool CSerialIO::WaitListenerEnded(int32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_endMutex);
    auto ended = [this] { return !m_bListenerAlive.load(); };
    if (timeoutMs < 0) {
        m_endCond.wait(lock, ended);
        return true;
    }
    return m_endCond.wait_for(lock, std::chrono::milliseconds(platform::ScaledMs(timeoutMs)), ended);
}

bool CSerialIO::ReapStaleListener() {
    if (!m_hStaleThread.joinable()) return true;
    if (m_bListenerAlive.load()) return false;
    m_hStaleThread.join();
    m_bStop = 0;
    return true;
}

void CSerialIO::ListenerPause(int ms) {
    if (m_bStop.load()) return;
    m_hevtRead.Wait(platform::ScaledMs(ms));
}

void CSerialIO::QuietLineBeforeProbe() {
    ListenerPause(kProbePauseMs);
    uint8_t scrap[kSerialListenerReadSize];
    // First only what arrived during the pause; after that, a whole read window must stay empty.
    // A reply still arriving in pieces may pause longer than one window (a loaded machine, an
    // adapter's latency timer): once something was discarded, two empty windows in a row end it.
    int window = 0;
    int emptyWindows = 0;
    for (int round = 0; round < kQuietRoundsMax && !m_bStop.load(); ++round) {
        size_t count = 0;
        if (m_hFile->Read(scrap, sizeof scrap, &count, window, 0) != 0) return;
        if (count == 0) {
            if (window == 0 || ++emptyWindows >= kQuietWindowsAfterDiscard) return;
            continue;
        }
        emptyWindows = 0;
        LogWritePort(LOG_DBG, PortName(), kThreadSource, "Discard %d bytes before the detection packet.",
                     static_cast<int>(count));
        window = platform::SerialLine::kReadTimeoutMs;
    }
}

int CSerialIO::ReadDetectionReply(uint8_t* buffer, size_t capacity, size_t* received) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point limit = Clock::now() + std::chrono::milliseconds(kDetectionReplyLimitMs);
    size_t got = 0;
    int error = m_hFile->Read(buffer, capacity, &got, platform::SerialLine::kReadTimeoutMs, kDetectionSettleMs);
    while (error == 0 && got > 0 && got < capacity && !m_bStop.load()) {
        const ReplyVerdict verdict = ClassifyReplyPrefix(buffer, got);
        const bool morePromised =
            !verdict.final || (verdict.mode != PHONE_MODE_UNKNOWN && !IsWholeDetectionReply(buffer, got));
        if (!morePromised) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - Clock::now()).count();
        if (left <= 0) break;
        const int window = static_cast<int>(std::min<long long>(left, platform::SerialLine::kReadTimeoutMs));
        size_t more = 0;
        error = m_hFile->Read(buffer + got, capacity - got, &more, window, kDetectionSettleMs);
        if (more == 0) break;  // the window passed in silence: the reply is what came
        got += more;
    }
    *received = got;
    return got > 0 ? 0 : error;
}

uint32_t CSerialIO::ThreadProc() {
    uint8_t buffer[kSerialListenerReadSize];
    bool probeOnly = false;  // the port stays open at this rate while the mode is unknown
    // A wake-up meant for the previous listener must not cut this one's first read short.
    m_hFile->DiscardWake();
    m_eMode = PHONE_MODE_UNKNOWN;
    if (!m_bDestroying.load()) OnEvent(EVENT_DETECTING);

    bool opened = false;  // an opening was tried: the next one at the first rate starts a rotation
    IdleRotationLog rotationLog;
    while (!m_bStop.load()) {
        const char* port = PortName();
        if (m_eMode.load() == PHONE_MODE_UNKNOWN) {
            if (!probeOnly) {
                if (opened && m_nBaudIndex.load() == 0) rotationLog.RotationBegins(port, m_nRotationRestMs.load() > 0);
                LogWritePort(LOG_WRN, port, kThreadSource, "Start InternalClose().");
                InternalClose();
                ListenerPause(kReopenPauseMs);
                // A quiet look rests between whole rotations (not scaled: the owner's own time).
                if (opened && m_nBaudIndex.load() == 0 && m_nRotationRestMs.load() > 0 && !m_bStop.load()) {
                    m_hevtRead.Wait(m_nRotationRestMs.load());
                }
                opened = true;
                if (m_bStop.load()) break;
                LogWritePort(LOG_WRN, port, kThreadSource, "Start InternalOpen().");
                if (InternalOpen() != 0) {
                    rotationLog.OpeningFailed(m_lLastError.load());
                    LogWritePort(LOG_ER, port, kThreadSource, "InternalOpen() failed.");
                    if (m_bPortUnusable.load()) break;  // retrying cannot change it: the owner is told
                    ListenerPause(kRetryPauseMs);
                    continue;
                }
            }
            QuietLineBeforeProbe();
            SendProbe();
        }

        size_t received = 0;
        int error = m_eMode.load() == PHONE_MODE_UNKNOWN ? ReadDetectionReply(buffer, sizeof buffer, &received)
                                                         : m_hFile->ReadWindow(buffer, sizeof buffer, &received);
        if (error != 0 || received > 0) rotationLog.Eventful();
        if (error != 0) {
            NoteLineError(error);
            if (m_eMode.load() != PHONE_MODE_UNKNOWN && !m_bDestroying.load()) {
                m_eMode = PHONE_MODE_UNKNOWN;
                OnEvent(EVENT_DETECTING);
            }
            m_lLastError = error;
            m_eMode = PHONE_MODE_UNKNOWN;
            probeOnly = false;
            LogWritePort(LOG_ER, port, kThreadSource, "Read com port data error.");
            ListenerPause(kRetryPauseMs);
            continue;
        }
        if (received == 0) continue;

        LogWritePort(LOG_DBG, port, kThreadSource, "Read COM port buffer");
        LogDumpPort(LOG_DBG, port, kThreadSource, buffer, static_cast<int32_t>(received));
        if (m_eMode.load() == PHONE_MODE_UNKNOWN) {
            LogWritePort(LOG_WRN, port, kThreadSource, "Mobile mode detection.");
            EPhoneMode mode = ClassifyReply(buffer, received);
            if (mode != PHONE_MODE_UNKNOWN) {
                m_eMode = mode;
                EPhoneMode none = PHONE_MODE_UNKNOWN;
                m_eFirstMode.compare_exchange_strong(none, mode);
                if (!m_bDestroying.load()) OnEvent(FoundEvent(mode));
                m_hModeDecided.Set();  // after the owner has heard of it, as it would by polling
            } else {
                LogWritePort(LOG_ER, port, kThreadSource, "Can not determine phone mode by return buffer.");
                probeOnly = true;
            }
        } else {
            {
                std::lock_guard<std::recursive_mutex> lock(m_csRx);
                LogWritePort(LOG_DBG, port, kThreadSource, "Transfer content to CSIOChannel with current mode %d",
                             static_cast<int>(m_eMode.load()));
                AppendReceived(buffer, static_cast<uint32_t>(received));
            }
            if (!m_bDestroying.load() && !m_bHoldEvents.load()) OnEvent(EVENT_DATA);
        }
    }

    rotationLog.End(PortName());
    InternalClose();
    m_eMode = PHONE_MODE_NONE;
    if (!m_bDestroying.load()) OnEvent(EVENT_LISTENER_ENDED);
    {
        std::lock_guard<std::mutex> lock(m_endMutex);
        m_bListenerAlive = false;
        m_endCond.notify_all();
    }
    return 0;
}
