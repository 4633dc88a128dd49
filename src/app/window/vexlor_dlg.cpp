// SPDX-License-Identifier: Apache-2.0
#include "app/window/vexlor_dlg.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/common/resource_ids.h"
#include "app/common/resource_library.h"
#include "app/window/about_dlg.h"
#include "app/window/port_combo_box.h"
#include "app/window/program_icon.h"
#include "app/window/prompter.h"

namespace {

constexpr int kStatusColumnWidth = 1500;

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

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
      m_operator(options.line ? std::move(options.line) : platform::MakeSystemSerialLine()),
      m_presenter(
          *this, [&library](unsigned id) { return library.LoadString(id); }, m_operator, &m_target, m_programFile,
          std::move(options)) {
    connect(Button(IDC_BTN_START), &QPushButton::clicked, this, [this] { m_presenter.Start(); });
    connect(Button(IDC_BTN_STOP), &QPushButton::clicked, this, [this] { m_presenter.Stop(); });
    connect(m_portCombo, &CPortComboBox::dropDown, this, [this] { m_presenter.DropDown(); });
    connect(m_portCombo, &QComboBox::currentIndexChanged, this, &CVexlorDlg::ShowPortDevice);
}

CVexlorDlg::~CVexlorDlg() {
    // The check thread uses the operator and the program file; the presenter stops a download.
    m_dataCheckDlg.WaitForCheck();
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
        auto* about = new QAction(aboutText, this);
        about->setData(IDM_ABOUTBOX);
        about->setShortcut(QKeySequence(Qt::Key_F1));
        about->setShortcutContext(Qt::WindowShortcut);
        connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
        addAction(about);
        setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    setWindowIcon(m_icon);

    m_dataCheckDlg.SetProgressFormat(FromUtf8(m_presenter.BeginPackageCheck()));
    m_dataCheckDlg.setWindowIcon(m_icon);
    const bool passed = RunDataCheck() == CDataCheckDlg::RESULT_PASSED;

    m_statusList->setColumnCount(1);
    m_statusList->setHeaderLabels({QString()});
    m_statusList->header()->setDefaultAlignment(Qt::AlignLeft);
    m_statusList->setColumnWidth(0, kStatusColumnWidth);
    return m_presenter.Open(passed);
}

int CVexlorDlg::RunDataCheck() {
    return m_dataCheckDlg.RunCheck([this](platform::NotifyTarget* target) { return m_presenter.CheckPackage(target); });
}

void CVexlorDlg::ShowPortDevice() { m_portCombo->setToolTip(m_portCombo->currentData(Qt::ToolTipRole).toString()); }

void CVexlorDlg::OnSysCommand(unsigned commandId) {
    if ((commandId & 0xFFF0) != IDM_ABOUTBOX) return;
    CAboutDlg about(m_library, this);
    about.exec();
}

void CVexlorDlg::customEvent(QEvent* event) {
    if (event->type() != CNotifyEvent::Type()) return CTemplateDialog::customEvent(event);
    const auto* notify = static_cast<CNotifyEvent*>(event);
    m_presenter.Notify(notify->Message(), notify->WParam());
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
    if (m_presenter.MayClose()) CTemplateDialog::done(result);
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

void CVexlorDlg::ShowNow() {
    // A new line is laid out at the next turn of the event loop: now, so the paint shows it.
    m_statusList->doItemsLayout();
    m_statusList->viewport()->repaint();
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

void CVexlorDlg::Inform(const std::string& text) { m_prompter.Inform(this, FromUtf8(text)); }
