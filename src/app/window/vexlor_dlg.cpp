// SPDX-License-Identifier: Apache-2.0
#include "app/window/vexlor_dlg.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/common/resource_library.h"
#include "app/window/about_dlg.h"
#include "app/window/port_combo_box.h"
#include "app/window/program_icon.h"
#include "app/window/prompter.h"
#include "app/window/resource_ids.h"
#include "log/log.h"
#include "package/package_errors.h"
#include "platform/program_path.h"
#include "platform/window_messages.h"

namespace {

constexpr int kStatusColumnWidth = 1500;

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

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
      m_statusList(ListView(IDC_LIST_STATUS)),
      m_portCombo(static_cast<CPortComboBox*>(ComboBox(IDC_CMB_COM))),
      m_icon(ProgramIcon()),
      m_target(this),
      m_operatorMessages(prompter, this),
      m_presenter(*this, [&library](unsigned id) { return library.LoadString(id); }, m_operator, &m_target,
                  std::move(options.portSources)) {
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
    const QString aboutText = FromUtf8(m_presenter.AboutText());
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

    m_dataCheckDlg.SetProgressFormat(FromUtf8(m_presenter.CheckProgressFormat()));
    m_dataCheckDlg.setWindowIcon(m_icon);
    LogWrite(LOG_ER, "Star CRC Checking.");
    const bool passed = RunDataCheck() == CDataCheckDlg::RESULT_PASSED;
    if (!passed) m_prompter.Inform(this, FromUtf8(m_presenter.CheckFailedText(m_checkResult.load())));

    m_statusList->setColumnCount(1);
    m_statusList->setHeaderLabels({QString()});
    m_statusList->header()->setDefaultAlignment(Qt::AlignLeft);
    m_statusList->setColumnWidth(0, kStatusColumnWidth);
    m_presenter.Open();
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

std::vector<uint32_t> CVexlorDlg::EnumerateSerialPorts() const { return m_presenter.EnumerateSerialPorts(); }

void CVexlorDlg::OnDropdownCmbCom() { m_presenter.DropDown(); }

void CVexlorDlg::ShowPortDevice() {
    m_portCombo->setToolTip(m_portCombo->currentData(Qt::ToolTipRole).toString());
}

void CVexlorDlg::OnBtnStart() { m_presenter.Start(); }

void CVexlorDlg::OnBtnStop() { m_presenter.Stop(); }

void CVexlorDlg::OnDloadStatus(uint32_t statusCode) { m_presenter.Status(statusCode); }

void CVexlorDlg::OnDloadProgress(uint32_t percentage) { m_presenter.Progress(percentage); }

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

void CVexlorDlg::done(int result) {
    if (m_closing) return;
    m_closing = true;
    const bool mayClose = m_presenter.MayClose();
    m_closing = false;
    if (mayClose) CTemplateDialog::done(result);
}

// MainWindowView.

void CVexlorDlg::SetTitle(const std::string& text) { setWindowTitle(FromUtf8(text)); }

void CVexlorDlg::SetCaptions(const std::string& start, const std::string& stop, const std::string& backup,
                             const std::string& restore) {
    Button(IDC_BTN_START)->setText(FromUtf8(start));
    Button(IDC_BTN_STOP)->setText(FromUtf8(stop));
    Button(IDC_BTN_BACKUP)->setText(FromUtf8(backup));
    Button(IDC_BTN_RESTORE)->setText(FromUtf8(restore));
}

void CVexlorDlg::ClearLines() { m_statusList->clear(); }

void CVexlorDlg::AppendLine(const std::string& text) {
    m_statusList->addTopLevelItem(new QTreeWidgetItem(QStringList{FromUtf8(text)}));
}

void CVexlorDlg::InsertTopLine(const std::string& text) {
    m_statusList->insertTopLevelItem(0, new QTreeWidgetItem(QStringList{FromUtf8(text)}));
}

void CVexlorDlg::ShowPorts(const std::vector<PortItem>& ports) {
    m_portCombo->clear();
    for (const PortItem& port : ports) {
        m_portCombo->addItem(FromUtf8(port.text), port.number);
        m_portCombo->setItemData(m_portCombo->count() - 1, FromUtf8(port.device), Qt::ToolTipRole);
    }
    if (m_portCombo->currentIndex() < 0 && m_portCombo->count() > 0) m_portCombo->setCurrentIndex(0);
    ShowPortDevice();
}

void CVexlorDlg::ShowNoPort(const std::string& text) {
    m_portCombo->clear();
    m_portCombo->addItem(FromUtf8(text));
    m_portCombo->setCurrentIndex(0);
    ShowPortDevice();
}

uint32_t CVexlorDlg::SelectedPort() const { return m_portCombo->currentData().toUInt(); }

void CVexlorDlg::EnableControls(const ControlStates& states) {
    m_portCombo->setEnabled(states.portList);
    Button(IDC_BTN_START)->setEnabled(states.start);
    Button(IDC_BTN_STOP)->setEnabled(states.stop);
    if (states.changeSpareButtons) {
        Button(IDC_BTN_BACKUP)->setEnabled(states.spareButtons);
        Button(IDC_BTN_RESTORE)->setEnabled(states.spareButtons);
    }
}

bool CVexlorDlg::AskYesNo(const std::string& text) { return m_prompter.AskYesNo(this, FromUtf8(text)); }

void CVexlorDlg::Later(std::function<void()> work) {
    QMetaObject::invokeMethod(this, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}
