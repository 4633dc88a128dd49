// SPDX-License-Identifier: Apache-2.0
#include <cstring>

#include "log/log.h"
#include "platform/sleep.h"
#include "serial/handset_identity.h"
#include "serial/serial_io.h"

// Moving the handset between AT (DS), diagnostic (DIAG) and download (DL) mode. These run on the
// download worker thread, write fixed frames with InternalWrite (past the write gate) and read
// the replies the listener has appended to the receive buffer.

namespace {
constexpr const char* kDs2DiagSource = "CSerialIO::ChangeDS2DIAG";
constexpr const char* kDiag2DlSource = "CSerialIO::ChangeDIAG2DL";
constexpr const char* kDs2DlSource = "CSerialIO::ChangeDS2DL";
constexpr const char* kOfflineSource = "CSerialIO::ChangeToOffline";
constexpr const char* kPlatformSource = "CSerialIO::GetMobileMode";

constexpr int32_t kStopLimitMs = 180000;
constexpr int kDiagLooks = 100;
constexpr int kDiagLookPauseMs = 200;
constexpr int kPendingWritePauseMs = 200;
constexpr int kDrainLookPauseMs = 100;
constexpr int kDrainQuietLooks = 5;
// A handset that never falls silent must not hold the worker: at most about 20 s of draining.
constexpr int kDrainMaxLooks = 200;
constexpr int kVersionPauseMs = 1;
constexpr int kStatusPolls = 20;
constexpr int kStatusPollPauseMs = 200;
constexpr int kBeforeDrainPauseMs = 500;
constexpr int kAfterStopPauseMs = 1000;
constexpr int kReopenAttempts = 4;
constexpr int kReopenPausesMs[kReopenAttempts] = {1000, 2000, 4000, 8000};
constexpr int kBeforeChangeModePauseMs = 1000;
constexpr int kCorvaneClosedPauseMs = 10000;
constexpr int kDlLooks = 20;
constexpr int kDlLookPauseMs = 1000;
constexpr int32_t kReplySize = 100;

template <size_t N>
int32_t SizeOf(const uint8_t (&)[N]) {
    return static_cast<int32_t>(N);
}
}  // namespace

int32_t CSerialIO::ChangeDS2DIAG() {
    const char* port = PortName();
    LogWritePort(LOG_DBG, port, kDs2DiagSource, "Start change mode DS to DIAG");
    if (InternalWrite(kDsToDiagCommand, static_cast<int32_t>(kDsToDiagCommandSize)) != 0) return 0;
    StopListener(kStopLimitMs);
    m_hModeDecided.Reset();
    if (StartListener() != 0) return 0;
    for (int look = 0; look < kDiagLooks && !m_bPortUnusable.load(); ++look) {
        EPhoneMode mode = m_eMode.load();
        if (mode == PHONE_MODE_DIAG) return 1;
        if (mode == PHONE_MODE_DS || mode == PHONE_MODE_DL) return 0;
        WaitModeDecided(kDiagLookPauseMs);
    }
    return 0;
}

void CSerialIO::DrainHandset() {
    while (m_lPendingWrites.load() != 0) platform::Sleep(kPendingWritePauseMs);
    platform::Sleep(kPendingWritePauseMs);

    uint8_t scratch[kReplySize];
    InternalWrite(kQuietRequest1, SizeOf(kQuietRequest1));
    ReadWhenAvailable(scratch, kReplySize);
    InternalWrite(kQuietRequest2, SizeOf(kQuietRequest2));
    ReadWhenAvailable(scratch, kReplySize);
    InternalWrite(kQuietRequest3, SizeOf(kQuietRequest3));
    ReadWhenAvailable(scratch, kReplySize);

    int quietLooks = 0;
    for (int look = 0; look < kDrainMaxLooks && quietLooks < kDrainQuietLooks; ++look) {
        platform::Sleep(kDrainLookPauseMs);
        if (UnreadCount() > 0) {
            Read(scratch, kReplySize, nullptr);
            quietLooks = 0;
        } else {
            ++quietLooks;
        }
    }
}

EMobilePlatform CSerialIO::GetMobileMode() {
    const char* port = PortName();
    InternalWrite(kVersionRequest, SizeOf(kVersionRequest));
    platform::Sleep(kVersionPauseMs);
    uint8_t reply[kReplySize] = {};
    if (ReadWhenAvailable(reply, kReplySize) != 0) {
        LogWritePort(LOG_ER, port, kPlatformSource, "Read fails");
        return PLATFORM_OTHER;
    }
    if (reply[0] != kVersionReplyCode) {
        LogWritePort(LOG_ER, port, kPlatformSource, "Can't get phone mode.");
        return PLATFORM_OTHER;
    }
    return PlatformOfVersionReply(reply, sizeof reply);
}

int32_t CSerialIO::ChangeToOffline() {
    const char* port = PortName();
    int budget = kStatusPolls;
    LogWritePort(LOG_DBG, port, kOfflineSource, "Change mobile to offline mode");
    LogWritePort(LOG_DBG, port, kOfflineSource, "Get phone status");

    uint8_t reply[kReplySize] = {};
    // Writes the status request and reads its reply into the zeroed buffer; false after logging.
    auto askStatus = [&]() {
        uint32_t written = 0;
        if (InternalWrite(kPhoneStatusRequest, SizeOf(kPhoneStatusRequest), &written) != 0 ||
            written < sizeof kPhoneStatusRequest) {
            LogWritePort(LOG_ER, port, kOfflineSource, "Write fails");
            LogDumpPort(LOG_ER, port, kOfflineSource, kPhoneStatusRequest, SizeOf(kPhoneStatusRequest));
            return false;
        }
        std::memset(reply, 0, sizeof reply);
        if (ReadWhenAvailable(reply, kReplySize) != 0) {
            LogWritePort(LOG_ER, port, kOfflineSource, "Read fails");
            return false;
        }
        return true;
    };

    if (!askStatus()) return 0;
    if (reply[0] != kStatusReplyCode) {
        LogWritePort(LOG_ER, port, kOfflineSource, "Can't get phone status, Maybe it is a Corvane handset");
        return 1;
    }
    // The reply as it came over the line: an ESN byte may be escaped.
    if (const auto esn = EsnOfStatusLine(reply, sizeof reply)) {
        int64_t none = -1;
        if (m_statusEsn.compare_exchange_strong(none, *esn)) {
            LogWritePort(LOG_WRN, port, kOfflineSource, "Handset ESN %s.", EsnText(*esn).c_str());
        }
    }
    LogWritePort(LOG_DBG, port, kOfflineSource, "Set mobile offline.");
    uint32_t written = 0;
    if (InternalWrite(kOfflineCommand, SizeOf(kOfflineCommand), &written) != 0 || written < sizeof kOfflineCommand) {
        LogWritePort(LOG_ER, port, kOfflineSource, "Write fails");
        LogDumpPort(LOG_ER, port, kOfflineSource, kOfflineCommand, SizeOf(kOfflineCommand));
        return 0;
    }
    std::memset(reply, 0, sizeof reply);
    if (ReadWhenAvailable(reply, kReplySize) != 0) {
        LogWritePort(LOG_ER, port, kOfflineSource, "Read fails");
        return 0;
    }
    if (std::memcmp(reply, kOfflineCommand, sizeof kOfflineCommand) != 0) {
        LogWritePort(LOG_ER, port, kOfflineSource, "Command fails. Return buffer is wrong.");
        LogDumpPort(LOG_ER, port, kOfflineSource, reply, SizeOf(kOfflineCommand));
        return 0;
    }

    while (true) {
        platform::Sleep(kStatusPollPauseMs);
        --budget;
        LogWritePort(LOG_DBG, port, kOfflineSource, "Detect current mobile phone mode.");
        LogWritePort(LOG_DBG, port, kOfflineSource, "Get phone status.");
        if (!askStatus()) return 0;
        if (reply[0] != kStatusReplyCode) {
            LogWritePort(LOG_ER, port, kOfflineSource, "Fails in get phone status");
            return 0;
        }
        StatusWords words = ReadStatusWords(reply, sizeof reply);
        LogWritePort(LOG_ER, port, kOfflineSource, "Current RF mode is %d", static_cast<int>(words.rfMode));
        if (IsOfflineStatus(words)) return 1;
        if (budget <= 0) return 0;
    }
}

int32_t CSerialIO::ChangeDIAG2DL() {
    const char* port = PortName();
    LogWritePort(LOG_WRN, port, kDiag2DlSource, "Change DIAG to DL");
    m_bBlockWrites = 1;
    m_bHoldEvents = 1;
    auto fail = [this]() {
        m_bBlockWrites = 0;
        m_bHoldEvents = 0;
        return 0;
    };

    platform::Sleep(kBeforeDrainPauseMs);
    DrainHandset();
    EMobilePlatform mobilePlatform = GetMobileMode();
    if (ChangeToOffline() == 0) {
        LogWritePort(LOG_ER, port, kDiag2DlSource, "Change to offline fails.");
        return fail();
    }
    StopListener(kStopLimitMs);
    // The worker takes the port alone from here: a listener still ending would read with it.
    if (m_bListenerAlive.load()) return fail();
    platform::Sleep(kAfterStopPauseMs);

    int32_t index = BaudIndexOf(m_dwBaudrate.load());
    m_nBaudIndex = index < 0 ? 0 : index;  // reopen at the rate in use
    bool opened = false;
    for (int attempt = 0; attempt < kReopenAttempts && !opened && !m_bPortUnusable.load(); ++attempt) {
        opened = InternalOpen() == 0;
        if (!opened && !m_bPortUnusable.load()) platform::Sleep(kReopenPausesMs[attempt]);
    }
    if (!opened) return fail();

    LogWritePort(LOG_WRN, port, kDiag2DlSource, "Write DIAG command.");
    LogWritePort(LOG_WRN, port, kDiag2DlSource, "Write change mode command");
    platform::Sleep(kBeforeChangeModePauseMs);
    if (InternalWrite(kChangeModeCommand, SizeOf(kChangeModeCommand)) != 0) return fail();
    if (mobilePlatform == PLATFORM_CORVANE) {
        InternalClose();
        platform::Sleep(kCorvaneClosedPauseMs);
    }
    fail();  // both flags clear again
    m_hModeDecided.Reset();
    if (StartListener() != 0) return 0;
    for (int look = 0; look < kDlLooks && !m_bPortUnusable.load(); ++look) {
        EPhoneMode mode = m_eMode.load();
        if (mode == PHONE_MODE_DL) {
            LogWritePort(LOG_ER, port, kDiag2DlSource, "Change to DL successfully.");
            return 1;
        }
        if (mode == PHONE_MODE_DS || mode == PHONE_MODE_DIAG) return 0;
        WaitModeDecided(kDlLookPauseMs);
    }
    return 0;
}

int32_t CSerialIO::ChangeDS2DL() {
    const char* port = PortName();
    if (ChangeDS2DIAG() == 0) {
        LogWritePort(LOG_ER, port, kDs2DlSource, "Change DS to DIAG fails.");
        return 0;
    }
    if (ChangeDIAG2DL() == 0) {
        LogWritePort(LOG_ER, port, kDs2DlSource, "Change DIAG to DL fails.");
        return 0;
    }
    return 1;
}
