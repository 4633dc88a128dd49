// SPDX-License-Identifier: Apache-2.0
// The main window: its opening behind the package check, the port list, Start and Stop, the
// status list with the newest run line on top, the three control states, About, and closing
// while a download runs. Status and progress reach the window as the engine sends them: posted
// from outside the user-interface thread through the window's notification target.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <thread>

#include "app/common/format_text.h"
#include "app/common/language_choice.h"
#include "app/window/about_dlg.h"
#include "app/window/resource_ids.h"
#include "app/window/vexlor_dlg.h"
#include "gui_support.h"
#include "lang/string_ids.h"
#include "platform/window_messages.h"

namespace {

QStringList Lines(CVexlorDlg& window) {
    QStringList lines;
    QTreeWidget* list = window.ListView(IDC_LIST_STATUS);
    for (int i = 0; i < list->topLevelItemCount(); ++i) lines << list->topLevelItem(i)->text(0);
    return lines;
}

struct Controls {
    bool combo, start, stop, backup, restore;
    bool operator==(const Controls&) const = default;
};

Controls EnabledControls(CVexlorDlg& window) {
    return {window.ComboBox(IDC_CMB_COM)->isEnabled(), window.Button(IDC_BTN_START)->isEnabled(),
            window.Button(IDC_BTN_STOP)->isEnabled(), window.Button(IDC_BTN_BACKUP)->isEnabled(),
            window.Button(IDC_BTN_RESTORE)->isEnabled()};
}

void PostFromWorker(CVexlorDlg& window, const std::vector<std::pair<uint32_t, uint32_t>>& messages) {
    std::thread worker([&] {
        for (const auto& [message, value] : messages) window.Target()->Post(message, value);
    });
    worker.join();
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openingShowsTheInstructionsAndTheNoPortState();
    void failedPackageCheckShowsString86AndEndsTheWindow();
    void portListTextGivesSortedNumbersWithPrefixAndDevice();
    void noPortFoundKeepsTheNoPortState();
    void unknownStatusCodeAddsAnEmptyLineAndChangesNoControl();
    void tenPercentagesThenDoneLeaveDoneOnTopAndPercentagesReversed();
    void everyFinalStatusShowsItsLineAndReturnsToIdle();
    void startClearsTheInstructionsAndTheFirstRunLineIsStarted();
    void confirmedStopPutsString94OnTopAndEnablesStartAndCombo();
    void closingDuringADownloadAsksAndStopsTheWorkerFirst();
    void destroyingTheWindowDuringADownloadStopsTheWorkerFirst();
    void aboutIsInTheContextMenuAndOnF1();
    void screenshotsOfTheMainWindow();

private:
    std::unique_ptr<CVexlorDlg> OpenWindow(const CResourceLibrary& library, CScriptedPrompter& prompter,
                                           const std::map<std::string, std::string>& ports);

    QTemporaryDir m_folder;
    QString m_program;
};

void MainWindowTest::initTestCase() {
    QVERIFY(m_folder.isValid());
    m_program = MakePackedProgram(m_folder.path(), 300 * 1024, "V12.0");
    QVERIFY(!m_program.isEmpty());
}

std::unique_ptr<CVexlorDlg> MainWindowTest::OpenWindow(const CResourceLibrary& library, CScriptedPrompter& prompter,
                                                       const std::map<std::string, std::string>& ports) {
    CVexlorDlg::Options options{m_program.toStdString(), PortMap(m_folder.path(), ports)};
    auto window = std::make_unique<CVexlorDlg>(library, prompter, options);
    if (!window->OnInitDialog()) return nullptr;
    window->show();
    return window;
}

void MainWindowTest::openingShowsTheInstructionsAndTheNoPortState() {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        auto library = LoadLanguage(position);
        CScriptedPrompter prompter;
        auto window = OpenWindow(*library, prompter, {});
        QVERIFY(window);
        QVERIFY(prompter.informs.isEmpty());
        // The check ran to its end behind the data checking dialog.
        QCOMPARE(window->DataCheckDialog().StatusText(), TextWithNumber(*library, lang::IDS_CHECK_PROGRESS, 100));

        QStringList expected;
        for (unsigned id : lang::kInstructionLines) {
            expected << (id == lang::IDS_INSTRUCTION_5 ? Text(*library, id) : TextWithModel(*library, id));
        }
        QCOMPARE(Lines(*window), expected);
        QCOMPARE(Lines(*window).size(), 13);

        QComboBox* combo = window->ComboBox(IDC_CMB_COM);
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->currentText(), Text(*library, lang::IDS_NO_PORT));
        QCOMPARE(window->State(), CVexlorDlg::ControlState::NoPort);
        QCOMPARE(EnabledControls(*window), (Controls{true, false, false, false, false}));

        QCOMPARE(window->windowTitle(), TextWithModel(*library, lang::IDS_TITLE));
        QCOMPARE(window->Button(IDC_BTN_START)->text(), Text(*library, lang::IDS_START));
        QCOMPARE(window->Button(IDC_BTN_STOP)->text(), Text(*library, lang::IDS_STOP));
        QCOMPARE(window->Button(IDC_BTN_BACKUP)->text(), Text(*library, lang::IDS_BACKUP));
        QCOMPARE(window->Button(IDC_BTN_RESTORE)->text(), Text(*library, lang::IDS_RESTORE));
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(window->ListView(IDC_LIST_STATUS)->columnWidth(0), 1500);
        QVERIFY(window->ListView(IDC_LIST_STATUS)->isHeaderHidden());
    }
}

void MainWindowTest::failedPackageCheckShowsString86AndEndsTheWindow() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    {
        // No program file at all: the check fails before any percentage.
        CScriptedPrompter prompter;
        CVexlorDlg window(*library, prompter, {(m_folder.path() + "/missing").toStdString(), {}});
        QCOMPARE(window.RunModal(), CVexlorDlg::RESULT_CHECK_FAILED);
        QCOMPARE(prompter.informs, QStringList{Text(*library, lang::IDS_CHECK_FAILED)});
        QCOMPARE(window.DataCheckDialog().StatusText(), QString("Data checking start....."));
        QVERIFY(!window.isVisible());
    }
    {
        // A package whose load was altered: the load CRC check fails.
        const QString damaged = m_folder.path() + "/damaged";
        QFile::remove(damaged);
        QVERIFY(QFile::copy(m_program, damaged));
        QFile file(damaged);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(48 * 1024 + 8 + 5000));  // inside the enciphered load area
        char byte = 0;
        QVERIFY(file.getChar(&byte));
        QVERIFY(file.seek(48 * 1024 + 8 + 5000));
        QVERIFY(file.putChar(static_cast<char>(byte ^ 0x40)));
        file.close();
        CScriptedPrompter prompter;
        CVexlorDlg window(*library, prompter, {damaged.toStdString(), {}});
        QCOMPARE(window.RunModal(), CVexlorDlg::RESULT_CHECK_FAILED);
        QCOMPARE(prompter.informs, QStringList{Text(*library, lang::IDS_CHECK_FAILED)});
    }
    {
        // A program that never had a load packed into it says so, and names vexlor-pack.
        const QString bare = m_folder.path() + "/bare";
        QFile file(bare);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(64 * 1024, '\x5A'));
        file.close();
        CScriptedPrompter prompter;
        CVexlorDlg window(*library, prompter, {bare.toStdString(), {}});
        QCOMPARE(window.RunModal(), CVexlorDlg::RESULT_CHECK_FAILED);
        // The fixed failure text, and the reason on a line of its own.
        QCOMPARE(prompter.informs,
                 QStringList{Text(*library, lang::IDS_CHECK_FAILED) + "\n" + Text(*library, lang::IDS_NO_LOAD)});
        QVERIFY(prompter.informs.first().contains("vexlor-pack"));
    }
}

void MainWindowTest::portListTextGivesSortedNumbersWithPrefixAndDevice() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter,
                             {{"/dev/ttyTEST10", "COM10"}, {"/dev/ttyTEST1", "COM1"}, {"/dev/ttyTEST3", "COM3"}});
    QVERIFY(window);
    const std::vector<uint32_t> ports = window->EnumerateSerialPorts();
    QCOMPARE(ports, (std::vector<uint32_t>{1, 3, 10}));

    QComboBox* combo = window->ComboBox(IDC_CMB_COM);
    combo->showPopup();  // the drop-down rebuilds the list
    combo->hidePopup();
    QCOMPARE(combo->count(), 3);
    const QString prefix = Text(*library, lang::IDS_PORT_PREFIX);
    QCOMPARE(combo->itemText(0), prefix + "1");
    QCOMPARE(combo->itemText(1), prefix + "3");
    QCOMPARE(combo->itemText(2), prefix + "10");
    QCOMPARE(combo->itemData(0).toUInt(), 1u);
    QCOMPARE(combo->itemData(1).toUInt(), 3u);
    QCOMPARE(combo->itemData(2).toUInt(), 10u);
    QCOMPARE(combo->itemData(2, Qt::ToolTipRole).toString(), QString("/dev/ttyTEST10"));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->toolTip(), QString("/dev/ttyTEST1"));
    QCOMPARE(window->State(), CVexlorDlg::ControlState::Idle);
    QCOMPARE(EnabledControls(*window), (Controls{true, true, false, true, true}));

    // A choice made before is replaced by the first port on the next drop-down.
    combo->setCurrentIndex(2);
    combo->showPopup();
    combo->hidePopup();
    QCOMPARE(combo->currentIndex(), 0);
}

void MainWindowTest::noPortFoundKeepsTheNoPortState() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {});
    QVERIFY(window);
    QComboBox* combo = window->ComboBox(IDC_CMB_COM);
    combo->showPopup();
    combo->hidePopup();
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->itemText(0), Text(*library, lang::IDS_NO_PORT));
    QCOMPARE(window->State(), CVexlorDlg::ControlState::NoPort);
    QCOMPARE(EnabledControls(*window), (Controls{true, false, false, false, false}));
}

void MainWindowTest::unknownStatusCodeAddsAnEmptyLineAndChangesNoControl() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {{"/dev/ttyTEST5", "COM5"}});
    QVERIFY(window);
    window->OnDropdownCmbCom();
    const Controls before = EnabledControls(*window);
    PostFromWorker(*window, {{WM_DL_STATUS, 0x777}});
    QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).size(), 14, 5000);
    QCOMPARE(Lines(*window).first(), QString());
    QCOMPARE(EnabledControls(*window), before);
    QCOMPARE(window->State(), CVexlorDlg::ControlState::Idle);
    // A message that is neither status nor progress changes nothing at all.
    PostFromWorker(*window, {{0x603, 5}, {WM_DL_STATUS, 0x060}});
    QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).size(), 15, 5000);
    QCOMPARE(Lines(*window).first(), Text(*library, lang::IDS_DIAG_READY));
}

void MainWindowTest::tenPercentagesThenDoneLeaveDoneOnTopAndPercentagesReversed() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {{"/dev/ttyTEST5", "COM5"}});
    QVERIFY(window);
    window->OnDropdownCmbCom();
    std::vector<std::pair<uint32_t, uint32_t>> messages;
    for (uint32_t percent = 0; percent < 100; percent += 10) messages.push_back({WM_DL_PROGRESS, percent});
    messages.push_back({WM_DL_STATUS, 0x065});
    PostFromWorker(*window, messages);
    QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).size(), 13 + 11, 5000);
    const QStringList lines = Lines(*window);
    QCOMPARE(lines[0], Text(*library, lang::IDS_DONE));
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(lines[1 + i], TextWithNumber(*library, lang::IDS_PROGRESS, 90 - 10 * i));
    }
    QCOMPARE(lines[11], TextWithModel(*library, lang::IDS_INSTRUCTION_1));
    QCOMPARE(window->State(), CVexlorDlg::ControlState::Idle);
}

void MainWindowTest::everyFinalStatusShowsItsLineAndReturnsToIdle() {
    auto library = LoadLanguage(LANGUAGE_TRADITIONAL_CHINESE);
    const std::vector<std::pair<uint32_t, unsigned>> finals = {
        {0x065, lang::IDS_DONE},      {0xF01, lang::IDS_ERR_PORT},    {0xF0C, lang::IDS_ERR_MODE},
        {0xF15, lang::IDS_ERR_MODE},  {0xF60, lang::IDS_ERR_VERSION}, {0xF62, lang::IDS_ERR_WRITE},
        {0xF63, lang::IDS_ERR_WRITE}, {0xF64, lang::IDS_ERR_WRITE},   {0xF66, lang::IDS_ERR_ACC},
    };
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {{"/dev/ttyTEST5", "COM5"}});
    QVERIFY(window);
    window->OnDropdownCmbCom();
    for (const auto& [code, id] : finals) {
        // The start and DIAG lines leave the state alone; the final code ends the run.
        PostFromWorker(*window, {{WM_DL_STATUS, 0x001}, {WM_DL_STATUS, 0x060}});
        QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).first(), Text(*library, lang::IDS_DIAG_READY), 5000);
        QCOMPARE(Lines(*window)[1], Text(*library, lang::IDS_STARTED));
        PostFromWorker(*window, {{WM_DL_STATUS, code}});
        QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).first(), Text(*library, id), 5000);
        QCOMPARE(window->State(), CVexlorDlg::ControlState::Idle);
        QCOMPARE(EnabledControls(*window), (Controls{true, true, false, true, true}));
    }
}

void MainWindowTest::startClearsTheInstructionsAndTheFirstRunLineIsStarted() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    // A port whose device does not exist: the run starts and fails to open it.
    auto window = OpenWindow(*library, prompter, {{(m_folder.path() + "/no-such-tty").toStdString(), "COM9"}});
    QVERIFY(window);
    window->OnDropdownCmbCom();
    QTest::mouseClick(window->Button(IDC_BTN_START), Qt::LeftButton);
    QCOMPARE(window->State(), CVexlorDlg::ControlState::Running);
    QCOMPARE(EnabledControls(*window), (Controls{false, false, true, true, true}));
    QCOMPARE(window->Operator().PortName(), std::string("COM9"));
    QTRY_COMPARE_WITH_TIMEOUT(window->State(), CVexlorDlg::ControlState::Idle, 120000);
    const QStringList lines = Lines(*window);
    // Under the status line, the reason: the device was never there.
    const QString absent = QString::fromStdString(
        FormatText(Text(*library, lang::IDS_PORT_ABSENT).toStdString(),
                   "COM9 (" + (m_folder.path() + "/no-such-tty").toStdString() + ")"));
    QCOMPARE(lines, (QStringList{Text(*library, lang::IDS_ERR_PORT), absent, Text(*library, lang::IDS_STARTED)}));
    QCOMPARE(EnabledControls(*window), (Controls{true, true, false, true, true}));
    QVERIFY(prompter.informs.isEmpty());
}

void MainWindowTest::confirmedStopPutsString94OnTopAndEnablesStartAndCombo() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    CSilentPort handset;  // answers nothing: the run keeps looking for the handset
    auto window = OpenWindow(*library, prompter, {{handset.Path(), "COM7"}});
    QVERIFY(window);
    window->OnDropdownCmbCom();
    QTest::mouseClick(window->Button(IDC_BTN_START), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).value(0), Text(*library, lang::IDS_STARTED), 5000);
    QVERIFY(window->Operator().IsRunning());

    // No: nothing changes.
    prompter.answerYes = false;
    QTest::mouseClick(window->Button(IDC_BTN_STOP), Qt::LeftButton);
    QCOMPARE(prompter.questions, QStringList{Text(*library, lang::IDS_STOP_QUESTION)});
    QVERIFY(window->Operator().IsRunning());
    QCOMPARE(window->State(), CVexlorDlg::ControlState::Running);

    // Yes: the worker is stopped before the handler returns.
    prompter.answerYes = true;
    QTest::mouseClick(window->Button(IDC_BTN_STOP), Qt::LeftButton);
    QVERIFY(!window->Operator().IsRunning());
    QCOMPARE(Lines(*window).first(), Text(*library, lang::IDS_STOPPED));
    QCOMPARE(window->State(), CVexlorDlg::ControlState::Idle);
    QCOMPARE(EnabledControls(*window), (Controls{true, true, false, true, true}));
    // A stopped run posts no more status; whatever was queued adds no status line.
    QCoreApplication::processEvents();
    QCOMPARE(Lines(*window).first(), Text(*library, lang::IDS_STOPPED));

    // Stop on a run that already ended: asked, but nothing changes.
    const QStringList before = Lines(*window);
    QTest::mouseClick(window->Button(IDC_BTN_STOP), Qt::LeftButton);  // disabled: no question
    QCOMPARE(prompter.questions.size(), 2);
    window->OnBtnStop();
    QCOMPARE(prompter.questions.size(), 3);
    QCOMPARE(Lines(*window), before);
}

void MainWindowTest::closingDuringADownloadAsksAndStopsTheWorkerFirst() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    CSilentPort handset;
    auto window = OpenWindow(*library, prompter, {{handset.Path(), "COM7"}});
    QVERIFY(window);
    window->OnDropdownCmbCom();
    QTest::mouseClick(window->Button(IDC_BTN_START), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).value(0), Text(*library, lang::IDS_STARTED), 5000);

    // Esc (or the close box) asks; No keeps the window and the download.
    prompter.answerYes = false;
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QCOMPARE(prompter.questions, QStringList{Text(*library, lang::IDS_CLOSE_QUESTION)});
    QVERIFY(window->isVisible());
    QVERIFY(window->Operator().IsRunning());
    // Enter that no button takes is the close box too: the same question, never a silent end.
    window->ListView(IDC_LIST_STATUS)->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Return);
    QCOMPARE(prompter.questions.size(), 2);
    QVERIFY(window->isVisible());
    QVERIFY(window->Operator().IsRunning());

    // Yes: the worker is stopped, then the window ends.
    prompter.answerYes = true;
    bool runningWhenAsked = false;
    prompter.onQuestion = [&] { runningWhenAsked = window->Operator().IsRunning(); };
    window->close();
    QVERIFY(runningWhenAsked);
    QVERIFY(!window->Operator().IsRunning());
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));

    // Without a download the window closes at once, unasked.
    CScriptedPrompter quiet;
    auto idle = OpenWindow(*library, quiet, {});
    QVERIFY(idle);
    idle->close();
    QVERIFY(!idle->isVisible());
    QVERIFY(quiet.questions.isEmpty());
}

void MainWindowTest::destroyingTheWindowDuringADownloadStopsTheWorkerFirst() {
    // The worker reads the program file and posts to the window to its last line: going away
    // with it running must stop it before anything it uses is released.
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    CSilentPort handset;
    auto window = OpenWindow(*library, prompter, {{handset.Path(), "COM7"}});
    QVERIFY(window);
    window->OnDropdownCmbCom();
    QTest::mouseClick(window->Button(IDC_BTN_START), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).value(0), Text(*library, lang::IDS_STARTED), 5000);
    QVERIFY(window->Operator().IsRunning());
    window.reset();
    QVERIFY(prompter.informs.isEmpty());  // stopped within the wait: no "Can not stop" box
    QCoreApplication::processEvents();     // nothing queued for the gone window is delivered
}

void MainWindowTest::aboutIsInTheContextMenuAndOnF1() {
    auto library = LoadLanguage(LANGUAGE_SIMPLIFIED_CHINESE);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {});
    QVERIFY(window);
    QAction* about = window->AboutAction();
    QVERIFY(about);
    QCOMPARE(about->text(), TextWithModel(*library, lang::IDS_ABOUT));
    QCOMPARE(about->data().toUInt(), IDM_ABOUTBOX);
    QCOMPARE(about->shortcut(), QKeySequence(Qt::Key_F1));
    QVERIFY(window->actions().contains(about));
    QCOMPARE(window->contextMenuPolicy(), Qt::ActionsContextMenu);

    // F1 runs the About box modally; it shows the library's caption and closes with Esc.
    QString shownCaption;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
            shownCaption = box->windowTitle();
            box->reject();
        }
    });
    closer.start();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_F1);
    closer.stop();
    QCOMPARE(shownCaption, TextWithModel(*library, lang::IDS_ABOUT));

    // Other command IDs of that menu are not About.
    shownCaption.clear();
    window->OnSysCommand(0x0020);
    QVERIFY(shownCaption.isEmpty());
}

void MainWindowTest::screenshotsOfTheMainWindow() {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        auto library = LoadLanguage(position);
        CScriptedPrompter prompter;
        auto window = OpenWindow(*library, prompter, {{"/dev/ttyUSB0", "COM21"}, {"/dev/ttyS0", "COM1"}});
        QVERIFY(window);
        window->OnDropdownCmbCom();
        SaveScreenshot(*window, QString("main-window-") + LanguageTag(position));
    }
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
