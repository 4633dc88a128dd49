// SPDX-License-Identifier: Apache-2.0
#include "engine/dl_operator.h"

#include <cerrno>
#include <cstring>

#include "engine/dl_status.h"
#include "log/log.h"
#include "package/package_checks.h"
#include "package/package_errors.h"
#include "platform/sleep.h"

namespace {
const char kSrcSetLoad[] = "CDLOperator::SetLoad";
const char kSrcStart[] = "CDLOperator::Start";
const char kStillRunning[] = "Opeator Thread is still running so that we can not create a new thread.";
const char kNoExitCode[] = "Can not get thread exit code.";
const char kCannotStop[] = "Can not stop operator thread.";
const char kCannotCreate[] = "Can not create operator thread.";
}  // namespace

CDLOperator::CDLOperator(std::unique_ptr<platform::SerialLine> line) : m_link(std::move(line)) {
    m_link.SetStopRequest(&m_lStop);
    // On the listener thread: the front end hears of a busy port while the run waits for it.
    m_link.SetPortNotice([this](const PortFailure& holder) {
        {
            std::lock_guard<std::mutex> lock(m_failureMutex);
            m_notice = holder;
        }
        Post(WM_DL_NOTICE, NOTICE_PORT_BUSY);
    });
}

CDLOperator::~CDLOperator() {
    if (m_thread) {
        // The worker uses this object to its last line: it must end before the object goes.
        RequestStop();
        m_thread->WaitForEnd(CWorkerThread::INFINITE_WAIT);
        m_thread.reset();
    }
    // The counter and the notice's members go before the link does.
    m_link.SetStopRequest(nullptr);
    m_link.SetPortNotice(nullptr);
    m_strPort.clear();
}

int32_t CDLOperator::SetComPort(const std::string& portName) {
    m_nextPort = portName;
    // A worker that would not stop still reads its own port: Start takes this one up after it.
    if (!IsRunning()) m_strPort = portName;
    return 1;
}

const char* CDLOperator::LogPort() const {
    const char* port = m_strPort.c_str();
    if (std::strncmp(port, "\\\\.\\", 4) == 0) port += 4;
    return port;
}

void CDLOperator::ShowMessage(const char* text) {
    if (m_pMessageSink) m_pMessageSink->Show(text);
}

int32_t CDLOperator::SetLoad(platform::ReadOnlyFile* file) {
    if (file == nullptr) {
        LogWriteSrc(LOG_ER, kSrcSetLoad, "%s", PackageCheckStepMessage(1));
        return PKGERR_PARAM_READ;
    }
    return RunPackageChecks(*file, m_parameters, m_pWnd.load());
}

void CDLOperator::Start() {
    if (m_thread) {
        m_thread->WaitForEnd(platform::ScaledMs(THREAD_WAIT_MS));
        uint32_t exitCode = 0;
        if (!m_thread->GetExitCode(exitCode)) {
            LogSysError(errno);
            ShowMessage(kNoExitCode);
            return;
        }
        if (exitCode == CWorkerThread::STILL_ACTIVE) {
            LogWritePort(LOG_DBG, LogPort(), kSrcStart, "%s", kStillRunning);
            ShowMessage(kStillRunning);
            return;
        }
        m_thread.reset();
    }
    // No worker is left: the new run's port can be taken up.
    m_strPort = m_nextPort;
    // A stop belongs to the run it was meant for: cleared here, before the worker exists, so a
    // Stop pressed right after Start is never lost to the worker's own start.
    m_lStop.store(0);
    {
        std::lock_guard<std::mutex> lock(m_failureMutex);
        m_failure = RunFailure{};
        m_handsetVersion.clear();
        m_notice = PortFailure{};
    }
    m_bytesSent.store(0);
    m_bytesConfirmed.store(0);
    m_blockPhaseStart.store(0);
    auto thread = std::make_unique<CWorkerThread>();
    if (!thread->Start([this] { DownloadFunc(); }, 0)) {
        LogSysError(errno);
        ShowMessage(kCannotCreate);
        return;
    }
    m_thread = std::move(thread);
}

void CDLOperator::Stop() {
    RequestStop();
    if (!m_thread) return;
    m_thread->WaitForEnd(platform::ScaledMs(THREAD_WAIT_MS));
    uint32_t exitCode = 0;
    if (m_thread->GetExitCode(exitCode) && exitCode == CWorkerThread::STILL_ACTIVE) {
        ShowMessage(kCannotStop);
        return;
    }
    m_thread.reset();
}

std::string CDLOperator::HandsetVersion() const {
    std::lock_guard<std::mutex> lock(m_failureMutex);
    return m_handsetVersion;
}

PortFailure CDLOperator::LastNotice() const {
    std::lock_guard<std::mutex> lock(m_failureMutex);
    return m_notice;
}

std::optional<std::chrono::steady_clock::time_point> CDLOperator::BlockPhaseStart() const {
    const int64_t ticks = m_blockPhaseStart.load();
    if (ticks == 0) return std::nullopt;
    return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks));
}

RunFailure CDLOperator::LastFailure() const {
    std::lock_guard<std::mutex> lock(m_failureMutex);
    return m_failure;
}

bool CDLOperator::IsRunning() const {
    uint32_t exitCode = 0;
    return m_thread && m_thread->GetExitCode(exitCode) && exitCode == CWorkerThread::STILL_ACTIVE;
}
