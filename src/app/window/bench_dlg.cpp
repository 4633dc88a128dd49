// SPDX-License-Identifier: Apache-2.0
#include "app/window/bench_dlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSoundEffect>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/common/bench_settings.h"
#include "app/common/resource_library.h"
#include "app/window/bench_tile_grid.h"
#include "app/window/program_icon.h"
#include "app/window/progress_delegate.h"
#include "app/window/prompter.h"

namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QSoundEffect* SoundFrom(const char* file, QObject* parent) {
    auto* sound = new QSoundEffect(parent);
    sound->setSource(QUrl(QStringLiteral("qrc") + QString::fromLatin1(file)));
    return sound;
}

// A line edit for whole seconds, as narrow as its figures.
void MakeSecondsField(QLineEdit* edit) {
    edit->setValidator(new QIntValidator(1, static_cast<int>(kBenchMaxSeconds), edit));
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16);
    edit->setAlignment(Qt::AlignRight);
}

QColor StateColour(BenchWindowView::Row::State state) {
    using State = BenchWindowView::Row::State;
    switch (state) {
    case State::kDone: return QColor(0, 110, 0);
    case State::kFailed:
    case State::kStopped: return QColor(180, 0, 0);
    case State::kStopping:
    case State::kHeld:
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
      m_tiles(new CBenchTileGrid(this)),
      m_views(new QStackedWidget(this)),
      m_tableView(new QCheckBox(this)),
      m_details(new QLabel(this)),
      m_checkAll(new QPushButton(this)),
      m_silent(new QCheckBox(this)),
      m_confirmLabel(new QLabel(this)),
      m_confirm(new QLineEdit(this)),
      m_removalLabel(new QLabel(this)),
      m_removal(new QLineEdit(this)),
      m_presenter(
          *this, [&library](unsigned id) { return library.LoadString(id); }, std::move(options)) {
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setWordWrap(false);
    m_table->setItemDelegateForColumn(kProgress, new CProgressDelegate(m_table));
    for (QPushButton* button : {m_start, m_stop, m_browse, m_checkAll}) button->setAutoDefault(false);
    MakeSecondsField(m_confirm);
    MakeSecondsField(m_removal);
    m_details->setWordWrap(true);
    m_details->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details->setMinimumWidth(200);
    // The station line is read from the bench: twice the window's type, in bold.
    QFont large = font();
    large.setPointSizeF(large.pointSizeF() * 2);
    large.setBold(true);
    m_totals->setFont(large);
    m_totals->setWordWrap(true);

    m_views->addWidget(m_tiles);
    m_views->addWidget(m_table);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_views);
    splitter->addWidget(m_details);
    splitter->setStretchFactor(0, 4);
    splitter->setStretchFactor(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_checkAll);
    buttons->addSpacing(12);
    buttons->addWidget(m_station);
    buttons->addWidget(m_confirmLabel);
    buttons->addWidget(m_confirm);
    buttons->addWidget(m_removalLabel);
    buttons->addWidget(m_removal);
    buttons->addSpacing(12);
    buttons->addWidget(m_silent);
    buttons->addStretch(1);
    buttons->addWidget(m_tableView);
    auto* report = new QHBoxLayout;
    report->addWidget(m_reportLabel);
    report->addWidget(m_report, 1);
    report->addWidget(m_browse);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_totals);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    layout->addLayout(report);
    resize(1200, 720);

    connect(m_start, &QPushButton::clicked, this, [this] { m_presenter.Start(); });
    connect(m_stop, &QPushButton::clicked, this, [this] { m_presenter.Stop(); });
    connect(m_station, &QCheckBox::toggled, this, [this](bool on) { m_presenter.StationToggled(on); });
    // Space and F5 wherever the focus is (a button or box Space would press too), but in a text
    // field, which takes its Space first.
    connect(new QShortcut(QKeySequence(Qt::Key_Space), this), &QShortcut::activated, this,
            [this] { m_presenter.StartOrStop(); });
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
            [this] { m_presenter.ReadPortsAgain(); });
    connect(m_silent, &QCheckBox::toggled, this, [this](bool on) { m_presenter.SilentToggled(on); });
    connect(m_checkAll, &QPushButton::clicked, this, [this] { m_presenter.CheckAll(); });
    connect(m_tableView, &QCheckBox::toggled, this, [this](bool on) { m_views->setCurrentIndex(on ? 1 : 0); });
    connect(m_confirm, &QLineEdit::editingFinished, this,
            [this] { m_presenter.ConfirmTimeChosen(m_confirm->text().toStdString()); });
    connect(m_removal, &QLineEdit::editingFinished, this,
            [this] { m_presenter.RemovalTimeChosen(m_removal->text().toStdString()); });
    connect(m_tiles, &CBenchTileGrid::checkToggled, this, [this](int index, bool checked) {
        // The table's check box follows, and tells the presenter.
        if (QTableWidgetItem* name = m_table->item(index, kPort))
            name->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    });
    connect(m_tiles, &CBenchTileGrid::chosen, this, [this](int index) {
        if (index >= 0) m_table->selectRow(index);
        ShowDetails();
    });
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row) { m_tiles->Choose(row); });
    connect(m_browse, &QPushButton::clicked, this, &CBenchDlg::ChooseReportFile);
    connect(m_report, &QLineEdit::editingFinished, this, [this] {
        // Leaving the field unchanged (a message box taking the focus, say) chooses nothing; a
        // refused file stays as typed and is not asked about again until it is changed.
        const QString path = m_report->text().trimmed();
        if (path == m_reportShown) return;
        m_reportShown = path;
        m_presenter.ReportChosen(path.toStdString());
    });
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling && item->column() == kPort) {
            const bool checked = item->checkState() == Qt::Checked;
            m_tiles->SetChecked(static_cast<size_t>(item->row()), checked);
            m_presenter.PortChecked(static_cast<size_t>(item->row()), checked);
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

void CBenchDlg::ShowDetails() {
    const int index = m_tiles->Chosen();
    const QString heading = QStringLiteral("<h3>%1</h3>").arg(m_detailsHeading.toHtmlEscaped());
    if (index < 0 || static_cast<size_t>(index) >= m_rows.size()) {
        m_details->setText(heading);
        return;
    }
    const Row& row = m_rows[static_cast<size_t>(index)];
    const Tile& tile = m_tiles->TileAt(static_cast<size_t>(index));
    QString text = heading + QStringLiteral("<b>%1</b> – %2")
                                 .arg(FromUtf8(tile.port).toHtmlEscaped(), FromUtf8(row.stateText).toHtmlEscaped());
    if (!row.esn.empty()) text += QStringLiteral("<br>ESN %1").arg(FromUtf8(row.esn).toHtmlEscaped());
    if (!row.resultDetail.empty())
        text += QStringLiteral("<p>%1</p>").arg(FromUtf8(row.resultDetail).toHtmlEscaped().replace('\n', "<br>"));
    text += QStringLiteral("<p>%1</p>").arg(FromUtf8(tile.counts).toHtmlEscaped());
    m_details->setText(text);
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
    m_checkAll->setText(FromUtf8(captions.checkAll));
    m_silent->setText(FromUtf8(captions.silent));
    m_confirmLabel->setText(FromUtf8(captions.confirmTime));
    m_removalLabel->setText(FromUtf8(captions.removalTime));
    m_tableView->setText(FromUtf8(captions.tableView));
    m_detailsHeading = FromUtf8(captions.details);
    ShowDetails();
    m_reportLabel->setText(FromUtf8(captions.report));
    m_browse->setText(FromUtf8(captions.browse));
    QStringList headings;
    for (const std::string* heading :
         {&captions.port, &captions.handset, &captions.device, &captions.state, &captions.progress, &captions.rate,
          &captions.timeLeft, &captions.esn, &captions.done, &captions.failed, &captions.result}) {
        headings << FromUtf8(*heading);
    }
    m_table->setHorizontalHeaderLabels(headings);
}

void CBenchDlg::SetPorts(const std::vector<PortItem>& ports) {
    m_filling = true;
    m_table->setRowCount(0);
    m_table->setRowCount(static_cast<int>(ports.size()));
    m_rows.assign(ports.size(), Row{});
    m_tiles->SetCount(ports.size());
    for (size_t index = 0; index < ports.size(); ++index) m_tiles->SetChecked(index, ports[index].checked);
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const PortItem& port = ports[static_cast<size_t>(row)];
        auto* name = new QTableWidgetItem(FromUtf8(port.port));
        name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        name->setCheckState(port.checked ? Qt::Checked : Qt::Unchecked);
        m_table->setItem(row, kPort, name);
        m_table->setItem(row, kDevice, new QTableWidgetItem(FromUtf8(port.device)));
        m_table->setItem(row, kHandset, new QTableWidgetItem);
        for (int column = kState; column < kColumns; ++column) m_table->setItem(row, column, new QTableWidgetItem);
        for (int column : {kHandset, kDone, kFailed}) m_table->item(row, column)->setTextAlignment(Qt::AlignCenter);
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
    m_table->item(row, kHandset)->setText(content.handset ? QString::number(content.handset) : QString());
    m_table->item(row, kDone)->setText(QString::number(content.done));
    m_table->item(row, kFailed)->setText(QString::number(content.failed));
    QTableWidgetItem* result = m_table->item(row, kResult);
    result->setText(FromUtf8(content.resultLine));
    result->setToolTip(FromUtf8(content.resultDetail));
    m_rows[index] = content;
    if (m_tiles->Chosen() == row) ShowDetails();
}

void CBenchDlg::UpdateTile(size_t row, const Tile& tile) {
    m_tiles->SetTile(row, tile);
    if (m_tiles->Chosen() == static_cast<int>(row)) ShowDetails();
}

void CBenchDlg::Play(Sound sound) {
    m_played.push_back(sound);
    // Made at the first sound: a bench that never sounds never opens the sound device.
    QSoundEffect*& effect = sound == Sound::kDone ? m_doneSound : m_failedSound;
    if (!effect) effect = SoundFrom(sound == Sound::kDone ? kDoneSound : kFailedSound, this);
    effect->play();
}

void CBenchDlg::SetSilent(bool on) {
    const QSignalBlocker quiet(m_silent);
    m_silent->setChecked(on);
}

void CBenchDlg::SetTimes(unsigned confirmSeconds, unsigned removalSeconds) {
    m_confirm->setText(QString::number(confirmSeconds));
    m_removal->setText(QString::number(removalSeconds));
}

void CBenchDlg::SetTotals(const std::string& text) { m_totals->setText(FromUtf8(text)); }

void CBenchDlg::ShowNow() {
    m_table->viewport()->repaint();
    m_tiles->repaint();
}

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
    m_tiles->SetCheckable(states.portChecks);
    m_checkAll->setEnabled(states.portChecks);
    m_confirm->setEnabled(states.times);
    m_removal->setEnabled(states.times);
    m_start->setEnabled(states.start);
    m_stop->setEnabled(states.stop);
    m_station->setEnabled(states.station);
    m_report->setEnabled(states.report);
    m_browse->setEnabled(states.report);
}

bool CBenchDlg::AskYesNo(const std::string& text) { return m_prompter.AskYesNo(this, FromUtf8(text)); }

void CBenchDlg::Inform(const std::string& text) { m_prompter.Inform(this, FromUtf8(text)); }
