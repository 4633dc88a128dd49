#include "app/window/vexlor_dlg.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMap>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/common/package_problem.h"
#include "app/common/port_numbers.h"
#include "package/package_errors.h"
#include "app/common/resource_library.h"
#include "app/common/status_lines.h"
#include "app/window/about_dlg.h"
#include "app/window/library_text.h"
#include "app/window/port_combo_box.h"
#include "app/window/program_icon.h"
#include "app/window/prompter.h"
#include "app/window/resource_ids.h"
#include "lang/string_ids.h"
#include "log/log.h"
#include "platform/program_path.h"
#include "platform/window_messages.h"

namespace {

constexpr int kStatusColumnWidth = 1500;
constexpr char kSrcDropdown[] = "CVexlorDlg::OnDropdownCmbCom";
constexpr char kSrcStatus[] = "CVexlorDlg::OnDloadStatus";

// The device behind each port number of the port list, for the combo's tooltips.
QMap<uint32_t, QString> PortDevices(const SerialCommSources& sources) {
    QMap<uint32_t, QString> devices;
    for (const SerialCommValue& value : ReadSerialCommKey(sources)) {
        if (IsExcludedSerialDevice(value.device)) continue;
        const char* name = value.port.c_str();
        const uint32_t number = PortNumberFromName(name, name + value.port.size());
        if (!devices.contains(number)) devices.insert(number, QString::fromStdString(value.device));
    }
    return devices;
}

}  // namespace

void CVexlorDlg::COperatorMessages::Show(const char* text) {
    m_prompter.Inform(m_owner, QString::fromUtf8(text));
}

CVexlorDlg::CVexlorDlg(const CResourceLibrary& library, CPrompter& prompter)
    : CVexlorDlg(library, prompter, Options{}) {}

CVexlorDlg::CVexlorDlg(const CResourceLibrary& library, CPrompter& prompter, Options options, QWidget* parent)
    : CTemplateDialog(IDD_VEXLOR_DIALOG, parent),
      m_library(library),
      m_prompter(prompter),
      m_portSources(std::move(options.portSources)),
      m_statusList(ListView(IDC_LIST_STATUS)),
      m_portCombo(static_cast<CPortComboBox*>(ComboBox(IDC_CMB_COM))),
      m_icon(ProgramIcon()),
      m_target(this),
      m_operatorMessages(prompter, this) {
    const std::string path = options.programPath.empty() ? platform::ProgramPath() : options.programPath;
    // A file that will not open is not reported here: the package check then fails.
    m_programFile.Open(path);
    m_operator.SetMessageSink(&m_operatorMessages);

    connect(Button(IDC_BTN_START), &QPushButton::clicked, this, &CVexlorDlg::OnBtnStart);
    connect(Button(IDC_BTN_STOP), &QPushButton::clicked, this, &CVexlorDlg::OnBtnStop);
    connect(m_portCombo, &CPortComboBox::dropDown, this, &CVexlorDlg::OnDropdownCmbCom);
    connect(m_portCombo, &QComboBox::currentIndexChanged, this, &CVexlorDlg::ShowPortDevice);
}

CVexlorDlg::~CVexlorDlg() {
    if (m_checkThread.joinable()) m_checkThread.join();
    // A worker that is still running reads the program file and posts to this window; the
    // operator's own destructor waits for it should this bounded stop time out.
    if (m_operator.IsRunning()) m_operator.Stop();
}

int CVexlorDlg::RunModal() {
    if (!OnInitDialog()) return RESULT_CHECK_FAILED;
    return exec();
}

bool CVexlorDlg::OnInitDialog() {
    const QString aboutText = LibTextWith(m_library, lang::IDS_ABOUT, lang::kModelCode);
    if (!aboutText.isEmpty()) {
        // Linux has no system menu for a program to extend: the About item lives in the
        // window's context menu and on F1.
        m_aboutAction = new QAction(aboutText, this);
        m_aboutAction->setData(IDM_ABOUTBOX);
        m_aboutAction->setShortcut(QKeySequence(Qt::Key_F1));
        m_aboutAction->setShortcutContext(Qt::WindowShortcut);
        connect(m_aboutAction, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
        addAction(m_aboutAction);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    setWindowIcon(m_icon);

    m_dataCheckDlg.SetProgressFormat(LibText(m_library, lang::IDS_CHECK_PROGRESS));
    m_dataCheckDlg.setWindowIcon(m_icon);
    LogWrite(LOG_ER, "Star CRC Checking.");
    const bool passed = RunDataCheck() == CDataCheckDlg::RESULT_PASSED;
    if (!passed) {
        const bool missing = IsMissingPackage(m_checkResult.load());
        m_prompter.Inform(this, LibText(m_library, missing ? lang::IDS_NO_LOAD : lang::IDS_CHECK_FAILED));
    }

    m_statusList->setColumnCount(1);
    m_statusList->setHeaderLabels({QString()});
    m_statusList->header()->setDefaultAlignment(Qt::AlignLeft);
    m_statusList->setColumnWidth(0, kStatusColumnWidth);

    m_portCombo->clear();
    m_portCombo->addItem(LibText(m_library, lang::IDS_NO_PORT));
    m_portCombo->setCurrentIndex(0);

    setWindowTitle(LibTextWith(m_library, lang::IDS_TITLE, lang::kModelCode));
    Button(IDC_BTN_START)->setText(LibText(m_library, lang::IDS_START));
    Button(IDC_BTN_STOP)->setText(LibText(m_library, lang::IDS_STOP));
    Button(IDC_BTN_BACKUP)->setText(LibText(m_library, lang::IDS_BACKUP));
    Button(IDC_BTN_RESTORE)->setText(LibText(m_library, lang::IDS_RESTORE));

    for (unsigned id : lang::kInstructionLines) {
        const QString line = id == lang::IDS_INSTRUCTION_5 ? LibText(m_library, id)
                                                           : LibTextWith(m_library, id, lang::kModelCode);
        m_statusList->addTopLevelItem(new QTreeWidgetItem(QStringList{line}));
    }
    EnableControls(ControlState::NoPort);
    return passed;
}

int CVexlorDlg::RunDataCheck() {
    // The check starts from inside the dialog's modal loop, so that its end can never arrive
    // before the loop runs.
    QTimer::singleShot(0, &m_dataCheckDlg, [this] { m_checkThread = std::thread(&CVexlorDlg::RunPackageCheck, this); });
    const int result = m_dataCheckDlg.exec();
    // The check thread uses the operator and the program file to its last line.
    if (m_checkThread.joinable()) m_checkThread.join();
    return result;
}

void CVexlorDlg::RunPackageCheck() {
    m_operator.SetNotifyTarget(m_dataCheckDlg.Target());
    m_operator.SetProgramFile(&m_programFile);
    m_checkResult = m_programFile.IsOpen() ? m_operator.SetLoad(&m_programFile) : PKGERR_PARAM_READ;
    const bool passed = m_checkResult.load() >= 0;
    m_dataCheckDlg.EndFromAnyThread(passed ? CDataCheckDlg::RESULT_PASSED : CDataCheckDlg::RESULT_FAILED);
}

std::vector<uint32_t> CVexlorDlg::EnumerateSerialPorts() const {
    CSerialCommList list;
    return ParsePortNumbers(list.ReadSerialCommList(m_portSources));
}

void CVexlorDlg::OnDropdownCmbCom() {
    m_portCombo->clear();
    const QString prefix = LibText(m_library, lang::IDS_PORT_PREFIX);
    LogWriteSrc(LOG_ER, kSrcDropdown, "Call EnumerateSerialPorts()");
    const std::vector<uint32_t> ports = EnumerateSerialPorts();
    LogWriteSrc(LOG_ER, kSrcDropdown, "The number of COM is %d", static_cast<int>(ports.size()));
    const QMap<uint32_t, QString> devices = PortDevices(m_portSources);
    for (uint32_t port : ports) {
        m_portCombo->addItem(prefix + QString::number(static_cast<int32_t>(port)), port);
        m_portCombo->setItemData(m_portCombo->count() - 1, devices.value(port), Qt::ToolTipRole);
    }
    if (m_portCombo->currentIndex() < 0 && m_portCombo->count() > 0) m_portCombo->setCurrentIndex(0);
    ShowPortDevice();
    if (m_portCombo->count() == 0) {
        m_portCombo->addItem(LibText(m_library, lang::IDS_NO_PORT));
        m_portCombo->setCurrentIndex(0);
        EnableControls(ControlState::NoPort);
    } else {
        EnableControls(ControlState::Idle);
    }
}

void CVexlorDlg::ShowPortDevice() {
    m_portCombo->setToolTip(m_portCombo->currentData(Qt::ToolTipRole).toString());
}

std::string CVexlorDlg::SelectedPortName() const {
    // The no-port item carries no number; it reads as port 0, as an item without data does.
    const uint32_t port = m_portCombo->currentData().toUInt();
    return "COM" + std::to_string(static_cast<int32_t>(port));
}

void CVexlorDlg::OnBtnStart() {
    m_showStatus = 1;
    m_statusList->clear();
    m_operator.SetComPort(SelectedPortName());
    m_operator.SetNotifyTarget(&m_target);
    m_statusSinceStart = false;
    m_operator.Start();
    EnableControls(ControlState::Running);
    if (!m_operator.IsRunning()) {
        QMetaObject::invokeMethod(this, &CVexlorDlg::SettleRefusedStart, Qt::QueuedConnection);
    }
}

void CVexlorDlg::SettleRefusedStart() {
    // Every run posts a status first; none after the messages queued so far, and no worker:
    // the operator refused the start (and said why), so the window must not stay "running".
    if (m_state == ControlState::Running && !m_statusSinceStart && !m_operator.IsRunning()) {
        EnableControls(ControlState::Idle);
    }
}

void CVexlorDlg::OnBtnStop() {
    if (!m_prompter.AskYesNo(this, LibText(m_library, lang::IDS_STOP_QUESTION))) return;
    if (!m_operator.IsRunning()) return;
    m_showStatus = 0;
    m_operator.Stop();
    EnableControls(ControlState::Idle);
    InsertTopLine(LibText(m_library, lang::IDS_STOPPED));
}

void CVexlorDlg::OnDloadStatus(uint32_t statusCode) {
    m_statusSinceStart = true;
    const std::string port = SelectedPortName();
    LogWritePort(LOG_DBG, port.c_str(), kSrcStatus, "Current status code is %X", statusCode);
    const StatusLine line = StatusLineFor(statusCode);
    const RunFailure failure = line.final ? m_operator.LastFailure() : RunFailure{};
    const TextLookup text = [this](unsigned id) { return LibText(m_library, id).toStdString(); };
    if (line.final) EnableControls(ControlState::Idle);
    if (m_showStatus != 1) return;
    // The reason goes right under its status line, which is the newest and so the top one.
    const std::string why = PortFailureLine(failure, port, text);
    if (!why.empty()) InsertTopLine(QString::fromStdString(why));
    InsertTopLine(QString::fromStdString(StatusLineBody(statusCode, failure, text)));
}

void CVexlorDlg::OnDloadProgress(uint32_t percentage) {
    InsertTopLine(FormatWithNumber(LibText(m_library, lang::IDS_PROGRESS), percentage));
}

void CVexlorDlg::OnSysCommand(unsigned commandId) {
    if ((commandId & 0xFFF0) != IDM_ABOUTBOX) return;
    CAboutDlg about(m_library, this);
    about.exec();
}

void CVexlorDlg::customEvent(QEvent* event) {
    if (event->type() != CNotifyEvent::Type()) return CTemplateDialog::customEvent(event);
    const auto* notify = static_cast<CNotifyEvent*>(event);
    const auto value = static_cast<uint32_t>(notify->WParam());
    if (notify->Message() == WM_DL_STATUS) OnDloadStatus(value);
    else if (notify->Message() == WM_DL_PROGRESS) OnDloadProgress(value);
}

void CVexlorDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
        event->accept();
        close();
        return;
    }
    CTemplateDialog::keyPressEvent(event);
}

void CVexlorDlg::EnableControls(ControlState state) {
    m_state = state;
    const bool idle = state == ControlState::Idle;
    const bool running = state == ControlState::Running;
    m_portCombo->setEnabled(!running);
    Button(IDC_BTN_START)->setEnabled(idle);
    Button(IDC_BTN_STOP)->setEnabled(running);
    if (!running) {
        Button(IDC_BTN_BACKUP)->setEnabled(idle);
        Button(IDC_BTN_RESTORE)->setEnabled(idle);
    }
}

void CVexlorDlg::InsertTopLine(const QString& text) {
    m_statusList->insertTopLevelItem(0, new QTreeWidgetItem(QStringList{text}));
}

bool CVexlorDlg::StopBeforeClosing() {
    if (!m_operator.IsRunning()) return true;
    if (!m_prompter.AskYesNo(this, LibText(m_library, lang::IDS_CLOSE_QUESTION))) return false;
    if (m_operator.IsRunning()) {
        m_showStatus = 0;
        m_operator.Stop();
    }
    // A worker that would not stop keeps the window (and with it the operator) alive.
    return !m_operator.IsRunning();
}

void CVexlorDlg::done(int result) {
    if (m_closing) return;
    m_closing = true;
    const bool mayClose = StopBeforeClosing();
    m_closing = false;
    if (mayClose) CTemplateDialog::done(result);
}
