// SPDX-License-Identifier: Apache-2.0
#include "app/common/main_window_presenter.h"

#include <map>

#include "app/common/format_text.h"
#include "app/common/package_problem.h"
#include "app/common/port_numbers.h"
#include "lang/string_ids.h"
#include "log/log.h"

namespace {

constexpr char kSrcDropdown[] = "CVexlorDlg::OnDropdownCmbCom";
constexpr char kSrcStatus[] = "CVexlorDlg::OnDloadStatus";

}  // namespace

CMainWindowPresenter::CMainWindowPresenter(MainWindowView& view, TextLookup text, CDLOperator& op,
                                           platform::NotifyTarget* target, SerialCommSources portSources)
    : m_view(view), m_text(std::move(text)), m_operator(op), m_target(target), m_portSources(std::move(portSources)) {}

std::string CMainWindowPresenter::AboutText() const { return FormatText(m_text(lang::IDS_ABOUT), lang::kModelCode); }

std::string CMainWindowPresenter::AboutVersionText() const {
    return FormatText(m_text(lang::IDS_TITLE), lang::kModelCode);
}

std::string CMainWindowPresenter::CheckProgressFormat() const { return m_text(lang::IDS_CHECK_PROGRESS); }

std::string CMainWindowPresenter::CheckFailedText(int32_t checkResult) const {
    return PackageCheckMessage(checkResult, m_text);
}

void CMainWindowPresenter::Open() {
    m_view.ShowNoPort(m_text(lang::IDS_NO_PORT));
    m_view.SetTitle(FormatText(m_text(lang::IDS_TITLE), lang::kModelCode));
    m_view.SetCaptions(m_text(lang::IDS_START), m_text(lang::IDS_STOP), m_text(lang::IDS_BACKUP),
                       m_text(lang::IDS_RESTORE));
    for (unsigned id : lang::kInstructionLines) {
        const std::string line = m_text(id);
        m_view.AppendLine(id == lang::IDS_INSTRUCTION_5 ? line : FormatText(line, lang::kModelCode));
    }
    EnableControls(ControlState::NoPort);
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
    m_showStatus = 1;
    m_view.ClearLines();
    m_operator.SetComPort(SelectedPortName());
    m_operator.SetNotifyTarget(m_target);
    m_statusSinceStart = false;
    m_operator.Start();
    EnableControls(ControlState::Running);
    if (!m_operator.IsRunning()) m_view.Later([this] { SettleRefusedStart(); });
}

void CMainWindowPresenter::SettleRefusedStart() {
    // Every run posts a status first; none after the messages queued so far, and no worker:
    // the operator refused the start (and said why), so the window must not stay "running".
    if (m_state == ControlState::Running && !m_statusSinceStart && !m_operator.IsRunning()) {
        EnableControls(ControlState::Idle);
    }
}

void CMainWindowPresenter::Stop() {
    if (!m_view.AskYesNo(m_text(lang::IDS_STOP_QUESTION))) return;
    if (!m_operator.IsRunning()) return;
    m_showStatus = 0;
    m_operator.Stop();
    EnableControls(ControlState::Idle);
    m_view.InsertTopLine(m_text(lang::IDS_STOPPED));
}

void CMainWindowPresenter::Status(uint32_t statusCode) {
    m_statusSinceStart = true;
    const std::string port = SelectedPortName();
    LogWritePort(LOG_DBG, port.c_str(), kSrcStatus, "Current status code is %X", statusCode);
    const StatusLine line = StatusLineFor(statusCode);
    const RunFailure failure = line.final ? m_operator.LastFailure() : RunFailure{};
    if (line.final) EnableControls(ControlState::Idle);
    if (m_showStatus != 1) return;
    // The reason goes right under its status line, which is the newest and so the top one.
    const std::string why = FailureDetailLine(statusCode, failure, port, m_text);
    if (!why.empty()) m_view.InsertTopLine(why);
    m_view.InsertTopLine(StatusLineBody(statusCode, m_text));
}

void CMainWindowPresenter::Progress(uint32_t percentage) {
    m_view.InsertTopLine(FormatNumber(m_text(lang::IDS_PROGRESS), percentage));
}

bool CMainWindowPresenter::MayClose() {
    if (!m_operator.IsRunning()) return true;
    if (!m_view.AskYesNo(m_text(lang::IDS_CLOSE_QUESTION))) return false;
    if (m_operator.IsRunning()) {
        m_showStatus = 0;
        m_operator.Stop();
    }
    // A worker that would not stop keeps the window (and with it the operator) alive.
    return !m_operator.IsRunning();
}

void CMainWindowPresenter::EnableControls(ControlState state) {
    m_state = state;
    const bool idle = state == ControlState::Idle;
    const bool running = state == ControlState::Running;
    m_view.EnableControls({!running, idle, running, !running, idle});
}
