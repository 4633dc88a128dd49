// SPDX-License-Identifier: Apache-2.0
// The Qt bench window against three handset simulators behind pseudo-terminals: what its
// presenter decides reaches the table, the buttons and the totals, and what the user does (check
// boxes, the report file, Start, the close box) reaches the presenter; the runs are real
// downloads through the serial devices. Pictures of the window mid-run in the three languages.
// What the presenter decides is tested without Qt (tests/runs).
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QtEndian>
#include <algorithm>
#include <cmath>

#include "app/common/language_choice.h"
#include "app/window/bench_dlg.h"
#include "app/window/bench_tile_grid.h"
#include "app/window/progress_delegate.h"
#include "download_rig.h"
#include "gui_support.h"
#include "lang/string_ids.h"
#include "run_holder.h"

namespace {

constexpr int kLoadSize = 2 * 128 * 1024 + 3000;  // two full blocks and a short one
constexpr int kRunLimitMs = 60000;

QString Cell(CBenchDlg& window, int row, int column) { return window.Table()->item(row, column)->text(); }
// Every row's state and last result, for a failure's message.
QByteArray Rows(CBenchDlg& window) {
    QString rows;
    for (int row = 0; row < window.Table()->rowCount(); ++row) {
        rows += Cell(window, row, CBenchDlg::kPort) + ": " + Cell(window, row, CBenchDlg::kState) + ", " +
                Cell(window, row, CBenchDlg::kResult) + "; ";
    }
    return rows.toUtf8();
}
// The percentage a row's bar shows; -1 for no bar.
int Progress(CBenchDlg& window, int row) {
    return window.Table()->item(row, CBenchDlg::kProgress)->data(CProgressDelegate::ValueRole).toInt();
}

}  // namespace

class BenchWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void threeHandsetsAtOnceFillTheTableTheTotalsAndTheReport();
    void keyboardSilenceCheckAllAndTheTableToggle();
    void theSoundsAreShortWavesInsideTheProgram();
    void screenshotsOfTheBenchWindowMidRun();
    void screenshotsOfSixteenTilesMidStation();

private:
    // The three simulators, each with its own options, registered as COM5 to COM7.
    void StartHandsets(const std::vector<std::vector<std::string>>& options);
    std::unique_ptr<CBenchDlg> OpenWindow(const CResourceLibrary& library, CScriptedPrompter& prompter);

    DownloadRig m_rig;
    QTemporaryDir m_folder;
    QString m_program;
};

void BenchWindowTest::initTestCase() {
    QVERIFY(m_folder.isValid());
    m_program = MakePackedProgram(m_folder.path(), kLoadSize, "V12.0");
    QVERIFY(!m_program.isEmpty());
    // The rig's settings file holds the simulators' ports; only they are listed, and the ports'
    // guards live in the rig's own runtime folder.
    QDir(m_folder.path()).mkpath("no-ttys");
    qputenv("VEXLOR_REGISTRY", QByteArray::fromStdString(m_rig.SettingsPath()));
    qputenv("VEXLOR_SYSFS_ROOT", (m_folder.path() + "/no-ttys").toUtf8());
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(m_rig.Folder().File("run")));
    qputenv("VEXLOR_LOCK_DIR", QByteArray::fromStdString(m_rig.Folder().File("lock")));
}

void BenchWindowTest::StartHandsets(const std::vector<std::vector<std::string>>& options) {
    for (size_t i = 0; i < options.size(); ++i) {
        const std::string port = "COM" + std::to_string(5 + i);
        m_rig.StopSimulatorOn(port);
        QVERIFY2(m_rig.StartSimulatorOn(port, options[i]), port.c_str());
    }
}

std::unique_ptr<CBenchDlg> BenchWindowTest::OpenWindow(const CResourceLibrary& library, CScriptedPrompter& prompter) {
    CBenchDlg::Options options;
    options.programPath = m_program.toStdString();
    options.portSources = {m_rig.SettingsPath(), (m_folder.path() + "/no-ttys").toStdString(), ""};
    auto window = std::make_unique<CBenchDlg>(library, prompter, std::move(options));
    if (!window->OnInitDialog()) return nullptr;
    window->show();
    return window;
}

void BenchWindowTest::threeHandsetsAtOnceFillTheTableTheTotalsAndTheReport() {
    StartHandsets({{}, {"--fail-nand"}, {}});
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QString("Vexlor V26 Bench"));
    QTableWidget* table = window->Table();
    QCOMPARE(table->rowCount(), 3);
    QCOMPARE(table->horizontalHeaderItem(CBenchDlg::kResult)->text(), Text(*library, lang::IDS_BENCH_COL_RESULT));
    QCOMPARE(Cell(*window, 2, CBenchDlg::kPort), QString("COM7"));
    QCOMPARE(Cell(*window, 2, CBenchDlg::kDevice), QString::fromStdString(m_rig.TerminalOf("COM7")));
    QCOMPARE(Cell(*window, 0, CBenchDlg::kState), Text(*library, lang::IDS_BENCH_IDLE));
    QCOMPARE(Progress(*window, 0), -1);
    QCOMPARE(window->StartButton()->text(), Text(*library, lang::IDS_START));
    QVERIFY(window->StartButton()->isEnabled());
    QVERIFY(!window->StopButton()->isEnabled());

    const QString report = m_folder.path() + "/report.csv";
    window->ReportEdit()->setText(report);
    emit window->ReportEdit()->editingFinished();
    for (int row = 0; row < 3; ++row) table->item(row, CBenchDlg::kPort)->setCheckState(Qt::Checked);
    window->StartButton()->click();
    QVERIFY(window->Running());
    QVERIFY(!window->StartButton()->isEnabled());
    QVERIFY(window->StopButton()->isEnabled());
    QVERIFY(!window->StationBox()->isEnabled());
    // Progress reaches the bars while the handsets are flashed.
    QTRY_VERIFY2_WITH_TIMEOUT(Progress(*window, 0) > 0, Rows(*window), kRunLimitMs);
    QTRY_VERIFY2_WITH_TIMEOUT(!window->Running(), Rows(*window), kRunLimitMs);

    QCOMPARE(Cell(*window, 0, CBenchDlg::kState), Text(*library, lang::IDS_BENCH_DONE));
    QCOMPARE(Cell(*window, 0, CBenchDlg::kResult), Text(*library, lang::IDS_DONE));
    QCOMPARE(Cell(*window, 0, CBenchDlg::kDone), QString("1"));
    QCOMPARE(Progress(*window, 0), -1);  // a done handset (not a station's): no bar
    QCOMPARE(Cell(*window, 1, CBenchDlg::kState), Text(*library, lang::IDS_BENCH_FAILED));
    QCOMPARE(Cell(*window, 1, CBenchDlg::kFailed), QString("1"));
    QCOMPARE(table->item(1, CBenchDlg::kResult)->toolTip(),
             Text(*library, lang::IDS_ERR_WRITE) + "\n" + Text(*library, lang::IDS_ERR_NAND));
    QCOMPARE(Cell(*window, 2, CBenchDlg::kState), Text(*library, lang::IDS_BENCH_DONE));
    QVERIFY2(window->TotalsLabel()->text().startsWith("Done: 2   Failed: 1   Handsets per hour: "),
             qPrintable(window->TotalsLabel()->text()));
    QVERIFY(window->StartButton()->isEnabled());
    QVERIFY(prompter.informs.isEmpty());
    // The tiles tell the same by colour, word and icon, and each ending was heard once.
    using Tile = BenchWindowView::Tile;
    CBenchTileGrid* tiles = window->Tiles();
    QVERIFY(tiles->isVisible());
    QCOMPARE(tiles->Count(), size_t{3});
    QCOMPARE(tiles->TileAt(0).tone, Tile::Tone::kGreen);
    QCOMPARE(tiles->TileAt(0).icon, Tile::Icon::kDone);
    QCOMPARE(QString::fromStdString(tiles->TileAt(0).word), Text(*library, lang::IDS_BENCH_DONE));
    QCOMPARE(tiles->TileAt(1).tone, Tile::Tone::kRed);
    QCOMPARE(QString::fromStdString(tiles->TileAt(1).action), Text(*library, lang::IDS_BENCH_TILE_SWITCH_OFF));
    QCOMPARE(QString::fromStdString(tiles->TileAt(1).line), Text(*library, lang::IDS_ERR_WRITE));
    QVERIFY(tiles->Checked(0));
    QCOMPARE(Cell(*window, 0, CBenchDlg::kHandset), QString("1"));
    std::vector<BenchWindowView::Sound> heard = window->Played();
    std::sort(heard.begin(), heard.end());
    QCOMPARE(heard,
             (std::vector<BenchWindowView::Sound>{BenchWindowView::Sound::kDone, BenchWindowView::Sound::kFailed}));
    // Choosing a tile shows its port's last result in full.
    QTest::mouseClick(tiles, Qt::LeftButton, {}, tiles->TileRect(1).center());
    QCOMPARE(tiles->Chosen(), 1);
    QVERIFY2(window->DetailsLabel()->text().contains(Text(*library, lang::IDS_ERR_NAND).toHtmlEscaped()),
             qPrintable(window->DetailsLabel()->text()));
    // A colour never stands alone: light and dark tiles keep their text readable.
    for (Tile::Tone tone :
         {Tile::Tone::kNeutral, Tile::Tone::kBlue, Tile::Tone::kAmber, Tile::Tone::kGreen, Tile::Tone::kRed}) {
        const auto luminance = [](const QColor& colour) {
            const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
            return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
                   0.0722 * channel(colour.blueF());
        };
        const double a = luminance(CBenchTileGrid::Background(tone)), b = luminance(CBenchTileGrid::Foreground(tone));
        QVERIFY2((std::max(a, b) + 0.05) / (std::min(a, b) + 0.05) >= 4.5, qPrintable(QString::number(int(tone))));
    }

    QFile rows(report);
    QVERIFY(rows.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(rows.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);  // the header and one row per handset
    QCOMPARE(lines.filter(",0x065,").size(), 2);
    QCOMPARE(lines.filter(",0xF64,").size(), 1);

    // A handset plugged in while the window is open gets its row at the next reading of the
    // port list, unchecked but checkable; the other rows keep what they showed.
    QVERIFY(m_rig.StartSimulatorOn("COM8", {}));
    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 4, 5000);
    QCOMPARE(Cell(*window, 3, CBenchDlg::kPort), QString("COM8"));
    QCOMPARE(table->item(3, CBenchDlg::kPort)->checkState(), Qt::Unchecked);
    QVERIFY(table->item(3, CBenchDlg::kPort)->flags() & Qt::ItemIsUserCheckable);
    QCOMPARE(table->item(0, CBenchDlg::kPort)->checkState(), Qt::Checked);
    QCOMPARE(Cell(*window, 0, CBenchDlg::kDone), QString("1"));
    QCOMPARE(Cell(*window, 1, CBenchDlg::kState), Text(*library, lang::IDS_BENCH_FAILED));
    m_rig.StopSimulatorOn("COM8");

    // Nothing runs: the window closes without a question.
    window->close();
    QVERIFY(!window->isVisible());
    QVERIFY(prompter.questions.isEmpty());
}

void BenchWindowTest::keyboardSilenceCheckAllAndTheTableToggle() {
    StartHandsets({{}, {}, {}});
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter);
    QVERIFY(window);
    QCOMPARE(window->SilentBox()->text(), Text(*library, lang::IDS_BENCH_SILENT));
    QCOMPARE(window->ConfirmEdit()->text(), QString("60"));
    window->SilentBox()->click();
    window->CheckAllButton()->click();
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(window->Table()->item(row, CBenchDlg::kPort)->checkState(), Qt::Checked);
        QVERIFY(window->Tiles()->Checked(static_cast<size_t>(row)));
    }
    // A tile's check box unchecks its port, in the table too.
    CBenchTileGrid* tiles = window->Tiles();
    QTest::mouseClick(tiles, Qt::LeftButton, {}, tiles->CheckRect(2).center());
    QCOMPARE(window->Table()->item(2, CBenchDlg::kPort)->checkState(), Qt::Unchecked);

    // Space starts with the focus on a check box (which Space would otherwise toggle).
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    window->StationBox()->setFocus();
    QTest::keyClick(window->StationBox(), Qt::Key_Space);
    QVERIFY(!window->StationBox()->isChecked());
    QVERIFY(window->Running());
    QTRY_VERIFY2_WITH_TIMEOUT(!window->Running(), Rows(*window), kRunLimitMs);
    QCOMPARE(Cell(*window, 0, CBenchDlg::kState), Text(*library, lang::IDS_BENCH_DONE));
    QCOMPARE(Cell(*window, 2, CBenchDlg::kState), Text(*library, lang::IDS_BENCH_IDLE));
    QVERIFY2(window->Played().empty(), "silenced");

    // F5 lists a port plugged in at once, without waiting for the next reading.
    QVERIFY(m_rig.StartSimulatorOn("COM8", {}));
    QTest::keyClick(window->StationBox(), Qt::Key_F5);
    QCOMPARE(window->Table()->rowCount(), 4);
    QCOMPARE(tiles->Count(), size_t{4});
    m_rig.StopSimulatorOn("COM8");

    window->TableBox()->click();
    QVERIFY(window->Table()->isVisible());
    QVERIFY(!tiles->isVisible());
    window->close();
    QVERIFY(prompter.questions.isEmpty());
}

void BenchWindowTest::theSoundsAreShortWavesInsideTheProgram() {
    for (const char* name : {CBenchDlg::kDoneSound, CBenchDlg::kFailedSound}) {
        QFile file(QString::fromLatin1(name));
        QVERIFY2(file.open(QIODevice::ReadOnly), name);
        const QByteArray bytes = file.readAll();
        QVERIFY2(bytes.size() > 44 && bytes.size() < 20 * 1024, name);
        QCOMPARE(bytes.left(4), QByteArray("RIFF"));
        QCOMPARE(bytes.mid(8, 8), QByteArray("WAVEfmt "));
        // PCM, one channel; the data that follows is as long as the header says, under a second.
        QCOMPARE(qFromLittleEndian<quint16>(bytes.constData() + 20), quint16{1});
        QCOMPARE(qFromLittleEndian<quint16>(bytes.constData() + 22), quint16{1});
        const quint32 rate = qFromLittleEndian<quint32>(bytes.constData() + 24);
        const quint32 perSecond = qFromLittleEndian<quint32>(bytes.constData() + 28);
        QVERIFY(rate >= 8000 && perSecond >= rate);
        QCOMPARE(bytes.mid(36, 4), QByteArray("data"));
        const quint32 length = qFromLittleEndian<quint32>(bytes.constData() + 40);
        QCOMPARE(static_cast<qsizetype>(length) + 44, bytes.size());
        QVERIFY2(length < perSecond, name);
    }
}

void BenchWindowTest::screenshotsOfTheBenchWindowMidRun() {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        // Throttled handsets, so that the picture catches them flashing at different rates. (A
        // slower line would outlast the tool's reply timeouts, which the time scale shortens.)
        StartHandsets({{"--throttle", "460800"}, {"--throttle", "230400"}, {"--throttle", "921600"}});
        auto library = LoadLanguage(position);
        CScriptedPrompter prompter;
        auto window = OpenWindow(*library, prompter);
        QVERIFY(window);
        window->StationBox()->setChecked(true);
        for (int row = 0; row < 3; ++row) window->Table()->item(row, CBenchDlg::kPort)->setCheckState(Qt::Checked);
        window->StartButton()->click();
        QTRY_VERIFY2_WITH_TIMEOUT(Progress(*window, 1) >= 15, Rows(*window), kRunLimitMs);
        SaveScreenshot(*window, QString("bench-window-") + LanguageTag(position));
        // Closing mid-run asks first, then stops every handset.
        window->close();
        QCOMPARE(prompter.questions, QStringList{Text(*library, lang::IDS_CLOSE_QUESTION)});
        QVERIFY(!window->isVisible());
        QVERIFY(!window->Running());
    }
}

void BenchWindowTest::screenshotsOfSixteenTilesMidStation() {
    // A station as a technician sees it on a full-HD screen: a held port, a failed handset, done
    // ones waiting for their restart, the rest flashing at different rates.
    using Tile = BenchWindowView::Tile;
    for (const int ports : {4, 16}) {
        std::vector<std::vector<std::string>> options;
        for (int i = 0; i < ports; ++i) {
            if (i == 1) {
                options.push_back({"--fail-nand"});
            } else if (i % 4 == 2) {
                options.push_back({});
            } else {
                options.push_back({"--throttle", std::to_string(i % 2 ? 230400 : 460800)});
            }
        }
        for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
            StartHandsets(options);
            RunHolder holder;  // the last port: another run holds it
            QVERIFY(holder.Hold(m_rig.TerminalOf("COM" + std::to_string(4 + ports))));
            auto library = LoadLanguage(position);
            CScriptedPrompter prompter;
            auto window = OpenWindow(*library, prompter);
            QVERIFY(window);
            window->resize(1920, 1040);
            CBenchTileGrid* tiles = window->Tiles();
            QCOMPARE(tiles->Count(), static_cast<size_t>(ports));
            QTRY_COMPARE_WITH_TIMEOUT(tiles->TileAt(static_cast<size_t>(ports - 1)).tone, Tile::Tone::kAmber, 5000);
            window->StationBox()->setChecked(true);
            window->CheckAllButton()->click();
            window->Tiles()->Choose(1);
            window->StartButton()->click();
            // The slow ones halfway, the fast ones ended by then.
            QTRY_VERIFY2_WITH_TIMEOUT(tiles->TileAt(0).icon == Tile::Icon::kFlashing && tiles->TileAt(0).percent >= 40,
                                      Rows(*window), kRunLimitMs);
            QTRY_COMPARE_WITH_TIMEOUT(tiles->TileAt(1).tone, Tile::Tone::kRed, kRunLimitMs);
            // Large enough to read from a metre and a half: a port name of 16 ports at least 40
            // pixels high on this screen.
            QVERIFY(tiles->TileRect(0).height() * 0.22 >= (ports == 16 ? 40 : 60));
            SaveScreenshot(*window, QString("bench-tiles-%1-%2").arg(ports).arg(LanguageTag(position)));
            window->close();
            QVERIFY(!window->Running());
        }
        for (int i = 0; i < ports; ++i) m_rig.StopSimulatorOn("COM" + std::to_string(5 + i));
    }
}

QTEST_MAIN(BenchWindowTest)
#include "bench_window_test.moc"
