// SPDX-License-Identifier: Apache-2.0
#include <thread>

#include "engine/dl_errors.h"
#include "engine/dl_operator.h"
#include "engine/dl_status.h"
#include "log/log.h"
#include "package/load_merger.h"
#include "package/package_errors.h"
#include "platform/sleep.h"

namespace {
const char kSrc[] = "CDLOperator::DownloadFunc";
const char kTargetLabel[] = "Target download";
const char kStopLine[] = "Use call to stop download thread.";
const char kWriteFailed[] = "write packet failed with error code %X.";

constexpr int kVersionAttempts = 3;
constexpr int kVersionRetryPauseMs = 500;
constexpr int kNopTimeoutMs = 1000;
constexpr int kDonePauseMs = 5000;
constexpr uint32_t kFirstPacketSize = 0x200;

unsigned Hex(int32_t code) { return static_cast<unsigned>(code); }
}  // namespace

bool CDLOperator::StopCheck(bool portOpen) {
    if (m_lStop.load() == 0) return false;
    LogWritePort(LOG_DBG, LogPort(), kSrc, kStopLine);
    if (portOpen) m_link.CloseCOMPort();
    return true;
}

void CDLOperator::NoteFailure(uint32_t status, bool noHandsetFound) {
    std::lock_guard<std::mutex> lock(m_failureMutex);
    if (noHandsetFound || m_link.IsPortUnusable()) {
        m_failure.port = m_link.DetectionFailure();
    } else if (PortFailure gone = m_link.GoneFailure(); gone.kind != PortFailure::Kind::kNone) {
        m_failure.port = gone;  // not a block the handset refused: the device itself went
    }
    if (status != STATUS_ERR_VERSION) {
        m_failure.handsetVersion.clear();
        m_failure.loadVersion.clear();
    }
}

void CDLOperator::Fail(const Failure& failure, const std::function<void()>& writeLines) {
    // A step that failed because the run was being stopped reports nothing: a stopped run
    // posts no status.
    if (StopCheck(true)) return;
    if (failure.lineBeforeClose) writeLines();
    m_link.CloseCOMPort();
    if (!failure.lineBeforeClose) writeLines();
    NoteFailure(failure.status, failure.noHandsetFound);
    Post(WM_DL_STATUS, failure.status);
}

void CDLOperator::Fail(uint32_t status, const char* format, int32_t code) {
    Fail({status}, [&] { LogWritePort(LOG_ER, LogPort(), kSrc, format, Hex(code)); });
}

void CDLOperator::DownloadFunc() {
    const char* port = LogPort();
    // Step 1. The stop counter was cleared by Start, before this thread existed.
    LogWritePort(LOG_DBG, port, kSrc, "Start target download process");
    Post(WM_DL_STATUS, STATUS_STARTED);
    std::this_thread::yield();
    if (StopCheck(false)) return;

    int32_t result = m_link.OpenComport(kTargetLabel, m_strPort.c_str());
    if (result < 0) {
        return Fail({STATUS_ERR_PORT, true, true}, [&] {
            LogWritePort(LOG_ER, port, kSrc,
                         "Open COM %s failed with error code %X, the reason is open com port failed.",
                         m_strPort.c_str(), Hex(result));
        });
    }
    if (StopCheck(true)) return;

    result = m_link.IsDIAGConnected();
    if (result < 0) {
        // A port that cannot be opened is a port problem too, not a handset in the wrong mode.
        const bool noHandset = result == SERCOM_ERR_NO_MODE || result == SERCOM_ERR_OPEN;
        const bool portProblem = noHandset || result == SERCOM_ERR_CHANGE;
        return Fail({portProblem ? STATUS_ERR_PORT : STATUS_ERR_NOT_DIAG, true, noHandset},
                    [&] { LogWritePort(LOG_ER, port, kSrc, "COM port is not in DIAG mode."); });
    }
    if (StopCheck(true)) return;

    Post(WM_DL_STATUS, STATUS_DIAG_READY);
    FlushResponses();
    for (int attempt = 1;; ++attempt) {
        result = CheckVersion();
        if (result >= 0) break;
        if (attempt == kVersionAttempts)
            return Fail(STATUS_ERR_VERSION, "Check version failed with error code %X.", result);
        platform::Sleep(kVersionRetryPauseMs);
    }
    if (StopCheck(true)) return;

    Post(WM_DL_PROGRESS, 0);
    result = m_link.IsDLConnected();
    if (result < 0) return Fail(STATUS_ERR_MODE, "Change to download mode failed with error code %X.", result);
    if (StopCheck(true)) return;

    FlushResponses();
    if (SendNop(kNopTimeoutMs) < 0) {
        return Fail({STATUS_ERR_MODE}, [&] { LogWritePort(LOG_ER, port, kSrc, "Nope command failed."); });
    }
    if (StopCheck(true)) return;

    result = InitDownload();
    if (result < 0) {
        const bool acc = result == DLERR_ACC;
        return Fail({acc ? STATUS_ERR_ACC : STATUS_ERR_MODE}, [&] {
            LogWritePort(LOG_ER, port, kSrc, "Download initialization failed with error code %X.", Hex(result));
            if (acc) LogWritePort(LOG_ER, port, kSrc, "ACC failed with error code %X.", Hex(DLERR_ACC));
        });
    }
    if (StopCheck(true)) return;

    const uint32_t loadSize = m_parameters.GetLoadSize();
    if (m_pProgramFile == nullptr || loadSize == 0) return Fail(STATUS_ERR_WRITE, kWriteFailed, PKGERR_LOAD_SIZE);
    result = CLoadMerger::SeekToLoad(*m_pProgramFile, loadSize);
    if (result >= 0) result = CLoadMerger::ReadLoadChunk(*m_pProgramFile, m_chunk);
    if (result < 0) return Fail(STATUS_ERR_WRITE, kWriteFailed, result);

    result = WriteFirstPacket(m_chunk);
    if (result < 0) return Fail(STATUS_ERR_WRITE, kWriteFailed, result);
    m_bytesSent.store(loadSize < kFirstPacketSize ? loadSize : kFirstPacketSize);
    m_bytesConfirmed.store(m_bytesSent.load());
    if (StopCheck(true)) return;

    if (!WriteBlocks(loadSize)) return;

    result = FinalDownload();
    if (result < 0) return Fail(STATUS_ERR_FINAL, "Reset with error code %X.", result);
    if (StopCheck(true)) return;

    result = WriteToNand();
    if (result < 0) return Fail(STATUS_ERR_NAND, "Reset with error code %X.", result);
    if (StopCheck(true)) return;

    SendReset();
    Post(WM_DL_PROGRESS, 100);
    m_link.CloseCOMPort();
    platform::Sleep(kDonePauseMs);
    Post(WM_DL_STATUS, STATUS_DONE);
}

bool CDLOperator::WriteBlocks(uint32_t loadSize) {
    const char* port = LogPort();
    uint32_t address = kFirstPacketSize;
    uint32_t lastPercent = 0;
    while (address < loadSize) {
        const uint32_t blockSize = loadSize - address < BLOCK_SIZE ? loadSize - address : BLOCK_SIZE;
        LogWritePort(LOG_DBG, port, kSrc, "Start writing block start at %X, block size %x.", address, blockSize);
        int32_t result = WriteBlockPacket(m_chunk, address, blockSize);
        if (result < 0) {
            Fail(STATUS_ERR_WRITE, kWriteFailed, result);
            return false;
        }
        if (StopCheck(true)) return false;
        result = CheckWriteBlockPacketError();
        if (result < 0) {
            Fail(STATUS_ERR_WRITE, kWriteFailed, result);
            return false;
        }
        if (StopCheck(true)) return false;
        address += blockSize;
        m_bytesSent.store(address);
        m_bytesConfirmed.store(address);
        // Widened: address * 100 overflows 32 bits for loads over 42,949,672 bytes.
        const auto percent = static_cast<uint32_t>(static_cast<uint64_t>(address) * 100 / loadSize);
        if (percent != lastPercent && percent != 100) {
            Post(WM_DL_PROGRESS, percent);
            lastPercent = percent;
        }
    }
    return true;
}
