// SPDX-License-Identifier: Apache-2.0
#include "app/common/main_window_presenter.h"

#include <algorithm>
#include <map>

#include "app/common/format_text.h"
#include "app/common/main_window_records.h"
#include "app/common/package_problem.h"
#include "app/common/port_numbers.h"
#include "app/common/stop_notice.h"
#include "engine/dl_packets.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "log/log.h"
#include "package/package_errors.h"
#include "platform/program_path.h"
#include "platform/window_messages.h"
#include "serial/handset_identity.h"

namespace {

constexpr char kSrcDropdown[] = "CVexlorDlg::OnDropdownCmbCom";
constexpr char kSrcStatus[] = "CVexlorDlg::OnDloadStatus";

}  // namespace

CMainWindowPresenter::CMainWindowPresenter(MainWindowView& view, TextLookup text, CDLOperator& op,
                                           platform::NotifyTarget* target, platform::ReadOnlyFile& programFile,
                                           MainWindowOptions options)
    : m_view(view),
      m_text(std::move(text)),
      m_operator(op),
      m_target(target),
      m_programFile(programFile),
      m_portSources(std::move(options.portSources)),
      m_records(std::make_unique<MainWindowRecords>(std::move(options.recordsPath), m_text)) {
    m_programFile.Open(options.programPath.empty() ? platform::ProgramPath() : options.programPath);
    m_operator.SetMessageSink(this);
}

CMainWindowPresenter::~CMainWindowPresenter() {
    if (m_operator.IsRunning()) {
        m_showStatus = 0;
        m_operator.Stop();
    }
    // The window is going: a lost record is told by the log alone.
    if (m_records->Pending() && !m_operator.IsRunning()) m_records->Stopped(m_operator, m_lastStatus);
    m_operator.SetMessageSink(nullptr);
}

std::string CMainWindowPresenter::AboutText() const { return FormatText(m_text(lang::IDS_ABOUT), lang::kModelCode); }

std::string CMainWindowPresenter::BeginPackageCheck() {
    LogWrite(LOG_ER, "Star CRC Checking.");
    return m_text(lang::IDS_CHECK_PROGRESS);
}

bool CMainWindowPresenter::CheckPackage(platform::NotifyTarget* progressTarget) {
    m_operator.SetNotifyTarget(progressTarget);
    m_operator.SetProgramFile(&m_programFile);
    m_checkResult = m_programFile.IsOpen() ? m_operator.SetLoad(&m_programFile) : PKGERR_PARAM_READ;
    return m_checkResult.load() >= 0;
}

bool CMainWindowPresenter::Open(bool checkPassed) {
    if (!checkPassed) {
        const int32_t result = m_checkResult.load();
        m_view.Inform(PackageCheckMessage(CarriesNoPackage(result, m_programFile), m_programFile.Path(), m_text));
    }
    m_view.ShowNoPort(m_text(lang::IDS_NO_PORT));
    m_view.SetTitle(FormatText(m_text(lang::IDS_TITLE), lang::kModelCode));
    m_view.SetCaptions(m_text(lang::IDS_START), m_text(lang::IDS_STOP), m_text(lang::IDS_BACKUP),
                       m_text(lang::IDS_RESTORE));
    for (unsigned id : lang::kInstructionLines) {
        const std::string line = m_text(id);
        m_view.AppendLine(id == lang::IDS_INSTRUCTION_5 ? line : FormatText(line, lang::kModelCode));
    }
    EnableControls(ControlState::NoPort);
    return checkPassed;
}

std::vector<uint32_t> CMainWindowPresenter::EnumerateSerialPorts() const {
    CSerialCommList list;
    return ParsePortNumbers(list.ReadSerialCommList(m_portSources));
}

void CMainWindowPresenter::DropDown() {
    const std::string prefix = m_text(lang::IDS_PORT_PREFIX);
    LogWriteSrc(LOG_ER, kSrcDropdown, "Call EnumerateSerialPorts()");
    const std::vector<uint32_t> ports = EnumerateSerialPorts();
    LogWriteSrc(LOG_ER, kSrcDropdown, "The number of COM is %d", static_cast<int>(ports.size()));
    // The device behind each port number, for the items' tooltips.
    std::map<uint32_t, std::string> devices;
    for (const SerialCommValue& value : ReadSerialCommKey(m_portSources)) {
        if (IsExcludedSerialDevice(value.device)) continue;
        const char* name = value.port.c_str();
        devices.emplace(PortNumberFromName(name, name + value.port.size()), value.device);
    }
    std::vector<MainWindowView::PortItem> items;
    for (uint32_t port : ports) {
        items.push_back({prefix + std::to_string(static_cast<int32_t>(port)), port, devices[port]});
    }
    if (items.empty()) {
        m_view.ShowNoPort(m_text(lang::IDS_NO_PORT));
        EnableControls(ControlState::NoPort);
    } else {
        m_view.ShowPorts(items);
        EnableControls(ControlState::Idle);
    }
}

std::string CMainWindowPresenter::SelectedPortName() const {
    // The no-port item carries no number; it reads as port 0, as an item without data does.
    return "COM" + std::to_string(static_cast<int32_t>(m_view.SelectedPort()));
}

void CMainWindowPresenter::Start() {
    // A store that will not take the records is told before any handset is touched.
    if (const std::string problem = m_records->Open(m_operator.Parameters(), m_programFile.Path()); !problem.empty()) {
        m_view.Inform(problem);
        return;
    }
    m_showStatus = 1;
    m_lastStatus = 0;
    m_blockBytes = 0;
    m_view.ClearLines();
    // A run whose stop had to wait for its worker is recorded once that worker has gone.
    if (m_records->Pending() && !m_operator.IsRunning()) RecordStopped();
    m_operator.SetComPort(SelectedPortName());
    m_operator.SetNotifyTarget(m_target);
    const std::string device = ReservePort();
    const bool recordThisRun = !m_records->Pending();
    if (recordThisRun) m_records->Begin(SelectedPortName(), device);
    // Every message the operator shows from inside Start says why it will not start (a worker
    // that has not ended, no thread to be had): the window then stays idle, not "running" with
    // no run of its own.
    m_startRefused = false;
    m_starting = true;
    m_operator.Start();
    m_starting = false;
    if (m_startRefused) {
        m_portLock.Release();
        if (recordThisRun) m_records->Forget();
    }
    EnableControls(m_startRefused ? ControlState::Idle : ControlState::Running);
}

std::string CMainWindowPresenter::ReservePort() {
    // The run keeps its port on the whole machine from its first opening to its end, over every
    // reopening: another run, from any session, finds it held. A port another run holds is
    // waited for, as one a terminal program holds: the line then takes it when it is free.
    const std::string port = SelectedPortName();
    const uint32_t number = m_view.SelectedPort();
    for (const SerialCommValue& value : ReadSerialCommKey(m_portSources)) {
        const char* name = value.port.c_str();
        if (PortNumberFromName(name, name + value.port.size()) != number) continue;
        if (m_portLock.Take(value.device, port, platform::PortLock::Use::kRun) == platform::PortLock::Result::kFailed) {
            LogWritePort(LOG_ER, port.c_str(), "CVexlorDlg::OnStart", "The lock %s cannot be made: error %d.",
                         m_portLock.Where().c_str(), m_portLock.Error());
        }
        return value.device;
    }
    return {};
}

void CMainWindowPresenter::RecordStopped() {
    const std::string lost = m_records->Stopped(m_operator, m_lastStatus);
    if (!lost.empty()) m_view.InsertTopLine(lost);
}

void CMainWindowPresenter::Stop() {
    if (!m_view.AskYesNo(m_text(lang::IDS_STOP_QUESTION))) return;
    if (!m_operator.IsRunning()) return;
    m_showStatus = 0;
    // The engine stops after the block it is writing: how long that takes is said before the wait.
    m_operator.RequestStop();
    m_view.InsertTopLine(StoppingLine(SecondsToStop(), m_text));
    m_view.ShowNow();
    m_operator.Stop();
    m_portLock.Release();
    EnableControls(ControlState::Idle);
    if (!m_operator.IsRunning()) RecordStopped();
    // What to do with the handset goes under the stop's line, which is the top one.
    const std::string advice = m_text(lang::IDS_STOPPED_ADVICE);
    if (!advice.empty()) m_view.InsertTopLine(advice);
    m_view.InsertTopLine(m_text(lang::IDS_STOPPED));
}

std::optional<double> CMainWindowPresenter::SecondsToStop() const {
    const uint64_t load = m_operator.Parameters().GetLoadSize();
    const uint64_t bytes = m_operator.BytesConfirmed();
    const uint64_t first = std::min<uint64_t>(dlpacket::WRITE_DATA_MAX, load);
    const auto blocks = m_operator.BlockPhaseStart();
    double rate = 0;
    double into = -1;
    // The rate over the blocks up to the last block's end the window saw; the time since then
    // only while that is still the latest.
    if (blocks && m_blockBytes > first && m_blockEndAt > *blocks) {
        rate =
            static_cast<double>(m_blockBytes - first) / std::chrono::duration<double>(m_blockEndAt - *blocks).count();
        if (bytes == m_blockBytes)
            into = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_blockEndAt).count();
    }
    return SecondsToBlockEnd(bytes, load, rate, into);
}

void CMainWindowPresenter::Notify(uint32_t message, uintptr_t value) {
    if (message == WM_DL_STATUS) Status(static_cast<uint32_t>(value));
    if (message == WM_DL_PROGRESS) Progress(static_cast<uint32_t>(value));
    // While the run waits for a port another program holds, the window says who holds it.
    if (message == WM_DL_NOTICE && value == NOTICE_PORT_BUSY && m_showStatus == 1) {
        const std::string line = PortBusyLine(m_operator.LastNotice(), SelectedPortName(), m_text);
        if (!line.empty()) m_view.InsertTopLine(line);
    }
}

void CMainWindowPresenter::Status(uint32_t statusCode) {
    const std::string port = SelectedPortName();
    LogWritePort(LOG_DBG, port.c_str(), kSrcStatus, "Current status code is %X", statusCode);
    const StatusLine line = StatusLineFor(statusCode);
    const RunFailure failure = line.final ? m_operator.LastFailure() : RunFailure{};
    // The reason goes right under its status line, which is the newest and so the top one.
    const std::string why = FailureDetailLine(statusCode, failure, port, m_text);
    if (line.final) {
        m_portLock.Release();
        EnableControls(ControlState::Idle);
        // The run's record is in the store before its final line tells its end (a run already
        // recorded as stopped is not recorded again).
        const std::string lost = m_records->Ended(m_operator, statusCode, why);
        if (!lost.empty()) m_view.InsertTopLine(lost);
    } else if (statusCode != 0) {
        m_lastStatus = statusCode;
    }
    if (m_showStatus != 1) return;
    // Which handset it was, under the reason: the ESN the run read on its way to download mode.
    if (const auto esn = line.final ? m_operator.HandsetEsn() : std::nullopt) {
        m_view.InsertTopLine(FormatText(m_text(lang::IDS_ESN_LINE), EsnText(*esn)));
    }
    if (!why.empty()) m_view.InsertTopLine(why);
    m_view.InsertTopLine(StatusLineBody(statusCode, failure, m_text));
}

void CMainWindowPresenter::Progress(uint32_t percentage) {
    // The engine tells a percentage at a block's end: where the transfer stood then.
    const uint64_t bytes = m_operator.BytesConfirmed();
    if (bytes != m_blockBytes) {
        m_blockBytes = bytes;
        m_blockEndAt = std::chrono::steady_clock::now();
    }
    m_view.InsertTopLine(FormatNumber(m_text(lang::IDS_PROGRESS), percentage));
}

bool CMainWindowPresenter::MayClose() {
    if (m_closing) return false;
    if (!m_operator.IsRunning()) return true;
    // The question and a stop that cannot finish show boxes, whose loops may bring another close.
    m_closing = true;
    bool mayClose = false;
    if (m_view.AskYesNo(m_text(lang::IDS_CLOSE_QUESTION))) {
        if (m_operator.IsRunning()) {
            m_showStatus = 0;
            m_operator.Stop();
        }
        if (!m_operator.IsRunning() && m_records->Pending()) RecordStopped();
        // A worker that would not stop keeps the window (and with it the operator) alive.
        mayClose = !m_operator.IsRunning();
    }
    m_closing = false;
    return mayClose;
}

void CMainWindowPresenter::Show(const char* text) {
    if (m_starting) m_startRefused = true;
    m_view.Inform(text);
}

void CMainWindowPresenter::EnableControls(ControlState state) {
    const bool idle = state == ControlState::Idle;
    const bool running = state == ControlState::Running;
    m_view.EnableControls({!running, idle, running, !running, idle});
}
