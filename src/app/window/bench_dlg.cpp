// SPDX-License-Identifier: Apache-2.0
#include "app/window/bench_dlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/common/resource_library.h"
#include "app/window/program_icon.h"
#include "app/window/progress_delegate.h"
#include "app/window/prompter.h"

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QColor StateColour(BenchWindowView::Row::State state) {
    using State = BenchWindowView::Row::State;
    switch (state) {
    case State::kDone: return QColor(0, 110, 0);
    case State::kFailed:
    case State::kStopped: return QColor(180, 0, 0);
    case State::kStopping:
    case State::kRemove: return QColor(150, 90, 0);
    default: return QColor();
    }
}

}  // namespace

CBenchDlg::CBenchDlg(const CResourceLibrary& library, CPrompter& prompter, Options options, QWidget* parent)
    : QDialog(parent),
      m_prompter(prompter),
      m_icon(ProgramIcon()),
      m_table(new QTableWidget(0, kColumns, this)),
      m_start(new QPushButton(this)),
      m_stop(new QPushButton(this)),
      m_station(new QCheckBox(this)),
      m_reportLabel(new QLabel(this)),
      m_report(new QLineEdit(this)),
      m_browse(new QPushButton(this)),
      m_totals(new QLabel(this)),
      m_presenter(
          *this, [&library](unsigned id) { return library.LoadString(id); }, std::move(options)) {
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setWordWrap(false);
    m_table->setItemDelegateForColumn(kProgress, new CProgressDelegate(m_table));
    for (QPushButton* button : {m_start, m_stop, m_browse}) button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addSpacing(12);
    buttons->addWidget(m_station);
    buttons->addStretch(1);
    auto* report = new QHBoxLayout;
    report->addWidget(m_reportLabel);
    report->addWidget(m_report, 1);
    report->addWidget(m_browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    layout->addLayout(report);
    layout->addWidget(m_totals);
    resize(1040, 420);

    connect(m_start, &QPushButton::clicked, this, [this] { m_presenter.Start(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_presenter.Stop(); });
    connect(m_station, &QCheckBox::toggled, this, [this](bool on) { m_presenter.StationToggled(on); });
    connect(m_browse, &QPushButton::clicked, this, &CBenchDlg::ChooseReportFile);
    connect(m_report, &QLineEdit::editingFinished, this, [this] {
        // Leaving the field unchanged (a message box taking the focus, say) chooses nothing.
        const QString path = m_report->text().trimmed();
        if (path != m_reportShown) m_presenter.ReportChosen(path.toStdString());
    });
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling && item->column() == kPort) {
            m_presenter.PortChecked(static_cast<size_t>(item->row()), item->checkState() == Qt::Checked);
        }
    });
    m_timer.setInterval(BenchWindowPresenter::kTickMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_presenter.Tick(); });
}

CBenchDlg::~CBenchDlg() {
    m_timer.stop();
    m_dataCheckDlg.WaitForCheck();
}

int CBenchDlg::RunModal() {
    if (!OnInitDialog()) return RESULT_CHECK_FAILED;
    return exec();
}

bool CBenchDlg::OnInitDialog() {
    setWindowIcon(m_icon);
    m_dataCheckDlg.SetProgressFormat(FromUtf8(m_presenter.BeginPackageCheck()));
    m_dataCheckDlg.setWindowIcon(m_icon);
    const bool passed = RunDataCheck() == CDataCheckDlg::RESULT_PASSED;
    if (!m_presenter.Open(passed)) return false;
    m_timer.start();
    return true;
}

int CBenchDlg::RunDataCheck() {
    return m_dataCheckDlg.RunCheck([this](platform::NotifyTarget* target) { return m_presenter.CheckPackage(target); });
}

void CBenchDlg::ChooseReportFile() {
    // Rows are appended to an existing report: choosing one is no overwrite.
    const QString path =
        QFileDialog::getSaveFileName(this, m_reportLabel->text(), m_report->text(),
                                     QStringLiteral("CSV (*.csv);;* (*)"), nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty()) m_presenter.ReportChosen(path.toStdString());
}

void CBenchDlg::done(int result) {
    if (m_presenter.MayClose()) {
        m_timer.stop();
        QDialog::done(result);
    }
}

// BenchWindowView.

void CBenchDlg::SetCaptions(const Captions& captions) {
    setWindowTitle(FromUtf8(captions.title));
    m_start->setText(FromUtf8(captions.start));
    m_stop->setText(FromUtf8(captions.stop));
    m_station->setText(FromUtf8(captions.station));
    m_reportLabel->setText(FromUtf8(captions.report));
    m_browse->setText(FromUtf8(captions.browse));
    QStringList headings;
    for (const std::string* heading :
         {&captions.port, &captions.device, &captions.state, &captions.progress, &captions.rate, &captions.timeLeft,
          &captions.esn, &captions.done, &captions.failed, &captions.result}) {
        headings << FromUtf8(*heading);
    }
    m_table->setHorizontalHeaderLabels(headings);
}

void CBenchDlg::SetPorts(const std::vector<PortItem>& ports) {
    m_filling = true;
    m_table->setRowCount(0);
    m_table->setRowCount(static_cast<int>(ports.size()));
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const PortItem& port = ports[static_cast<size_t>(row)];
        auto* name = new QTableWidgetItem(FromUtf8(port.port));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        name->setCheckState(port.checked ? Qt::Checked : Qt::Unchecked);
        m_table->setItem(row, kPort, name);
        m_table->setItem(row, kDevice, new QTableWidgetItem(FromUtf8(port.device)));
        for (int column = kState; column < kColumns; ++column) m_table->setItem(row, column, new QTableWidgetItem);
        for (int column : {kDone, kFailed}) m_table->item(row, column)->setTextAlignment(Qt::AlignCenter);
    }
    m_table->resizeColumnsToContents();
    // Room for what the runs will write: a state, a bar, "1.8 MB/s", "12:34".
    const int em = fontMetrics().horizontalAdvance('M');
    for (const auto& [column, ems] : {std::pair{kState, 12}, {kProgress, 10}, {kRate, 8}, {kTimeLeft, 4}}) {
        m_table->setColumnWidth(column, std::max(m_table->columnWidth(column), ems * em));
    }
    m_filling = false;
}

void CBenchDlg::UpdateRow(size_t index, const Row& content) {
    const int row = static_cast<int>(index);
    if (row >= m_table->rowCount()) return;
    QTableWidgetItem* state = m_table->item(row, kState);
    state->setText(FromUtf8(content.stateText));
    state->setForeground(StateColour(content.state));
    m_table->item(row, kProgress)
        ->setData(CProgressDelegate::ValueRole, content.showProgress ? static_cast<int>(content.percent) : -1);
    m_table->item(row, kRate)->setText(FromUtf8(content.rate));
    m_table->item(row, kTimeLeft)->setText(FromUtf8(content.timeLeft));
    m_table->item(row, kEsn)->setText(FromUtf8(content.esn));
    m_table->item(row, kDone)->setText(QString::number(content.done));
    m_table->item(row, kFailed)->setText(QString::number(content.failed));
    QTableWidgetItem* result = m_table->item(row, kResult);
    result->setText(FromUtf8(content.resultLine));
    result->setToolTip(FromUtf8(content.resultDetail));
}

void CBenchDlg::SetTotals(const std::string& text) { m_totals->setText(FromUtf8(text)); }

void CBenchDlg::ShowNow() { m_table->viewport()->repaint(); }

void CBenchDlg::SetStation(bool on) {
    const QSignalBlocker quiet(m_station);
    m_station->setChecked(on);
}

void CBenchDlg::SetReportPath(const std::string& path) {
    m_reportShown = FromUtf8(path);
    m_report->setText(m_reportShown);
}

void CBenchDlg::EnableControls(const ControlStates& states) {
    m_filling = true;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QTableWidgetItem* name = m_table->item(row, kPort);
        const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        name->setFlags(states.portChecks ? flags | Qt::ItemIsUserCheckable : flags);
    }
    m_filling = false;
    m_start->setEnabled(states.start);
    m_stop->setEnabled(states.stop);
    m_station->setEnabled(states.station);
    m_report->setEnabled(states.report);
    m_browse->setEnabled(states.report);
}

bool CBenchDlg::AskYesNo(const std::string& text) { return m_prompter.AskYesNo(this, FromUtf8(text)); }

void CBenchDlg::Inform(const std::string& text) { m_prompter.Inform(this, FromUtf8(text)); }
