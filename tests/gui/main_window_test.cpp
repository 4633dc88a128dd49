// SPDX-License-Identifier: Apache-2.0
// The Qt main window's wiring: what its presenter decides reaches the widgets, and what the user
// does and the engine posts reaches the presenter (clicks, the drop-down, Esc, Enter and the
// close box, F1, a run's messages posted from the engine's thread). What the presenter decides
// is tested without Qt (tests/app_common).
#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "app/common/language_choice.h"
#include "app/common/resource_ids.h"
#include "app/window/about_dlg.h"
#include "app/window/vexlor_dlg.h"
#include "gui_support.h"
#include "lang/string_ids.h"
#include "model_line.h"
#include "packed_load.h"

namespace {

QStringList Lines(CVexlorDlg& window) {
    QStringList lines;
    QTreeWidget* list = window.ListView(IDC_LIST_STATUS);
    for (int i = 0; i < list->topLevelItemCount(); ++i) lines << list->topLevelItem(i)->text(0);
    return lines;
}

// Which controls take input: port list, Start, Stop and the two hidden buttons.
QList<bool> Enabled(CVexlorDlg& window) {
    QList<bool> enabled{window.ComboBox(IDC_CMB_COM)->isEnabled()};
    for (int id : {IDC_BTN_START, IDC_BTN_STOP, IDC_BTN_BACKUP, IDC_BTN_RESTORE}) {
        enabled << window.Button(id)->isEnabled();
    }
    return enabled;
}
const QList<bool> kNoPort{true, false, false, false, false};
const QList<bool> kIdle{true, true, false, true, true};
const QList<bool> kRunning{false, false, true, true, true};
constexpr int kLoadSize = 2 * 128 * 1024 + 3000;  // two full blocks and a short one

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openingDrawsTheListTitleCaptionsAndControls();
    void failedPackageCheckIsToldAndEndsTheWindow();
    void dropDownFillsTheComboWithNumbersAndDevices();
    void clicksKeysTheCloseBoxAndARunsMessagesReachThePresenterAndTheList();
    void aboutIsInTheContextMenuAndOnF1();
    void screenshotsOfTheMainWindow();

private:
    // The window on the packed program, with this port map and downloads' line (null: the
    // serial device), opened.
    std::unique_ptr<CVexlorDlg> OpenWindow(const CResourceLibrary& library, CScriptedPrompter& prompter,
                                           const std::map<std::string, std::string>& ports,
                                           std::unique_ptr<platform::SerialLine> line = nullptr);

    QTemporaryDir m_folder;
    QString m_program;
};

void MainWindowTest::initTestCase() {
    QVERIFY(m_folder.isValid());
    m_program = MakePackedProgram(m_folder.path(), kLoadSize, "V12.0");
    QVERIFY(!m_program.isEmpty());
}

std::unique_ptr<CVexlorDlg> MainWindowTest::OpenWindow(const CResourceLibrary& library, CScriptedPrompter& prompter,
                                                       const std::map<std::string, std::string>& ports,
                                                       std::unique_ptr<platform::SerialLine> line) {
    CVexlorDlg::Options options{m_program.toStdString(), PortMap(m_folder.path(), ports), std::move(line)};
    auto window = std::make_unique<CVexlorDlg>(library, prompter, std::move(options));
    if (!window->OnInitDialog()) return nullptr;
    window->show();
    return window;
}

void MainWindowTest::openingDrawsTheListTitleCaptionsAndControls() {
    auto library = LoadLanguage(LANGUAGE_TRADITIONAL_CHINESE);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {});
    QVERIFY(window);
    QVERIFY(prompter.informs.isEmpty());
    // The check's percentages reached the data checking dialog.
    QCOMPARE(window->DataCheckDialog().StatusText(), TextWithNumber(*library, lang::IDS_CHECK_PROGRESS, 100));

    const QStringList lines = Lines(*window);
    QCOMPARE(lines.size(), 13);
    QCOMPARE(lines.first(), TextWithModel(*library, lang::IDS_INSTRUCTION_1));
    QCOMPARE(lines[4], Text(*library, lang::IDS_INSTRUCTION_5));
    QCOMPARE(window->ComboBox(IDC_CMB_COM)->currentText(), Text(*library, lang::IDS_NO_PORT));
    QCOMPARE(Enabled(*window), kNoPort);
    QCOMPARE(window->windowTitle(), TextWithModel(*library, lang::IDS_TITLE));
    QCOMPARE(window->Button(IDC_BTN_START)->text(), Text(*library, lang::IDS_START));
    QCOMPARE(window->Button(IDC_BTN_STOP)->text(), Text(*library, lang::IDS_STOP));
    QCOMPARE(window->Button(IDC_BTN_BACKUP)->text(), Text(*library, lang::IDS_BACKUP));
    QCOMPARE(window->Button(IDC_BTN_RESTORE)->text(), Text(*library, lang::IDS_RESTORE));
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(window->ListView(IDC_LIST_STATUS)->columnWidth(0), 1500);
    QVERIFY(window->ListView(IDC_LIST_STATUS)->isHeaderHidden());
}

void MainWindowTest::failedPackageCheckIsToldAndEndsTheWindow() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    CVexlorDlg window(*library, prompter, {(m_folder.path() + "/missing").toStdString(), {}});
    QCOMPARE(window.RunModal(), CVexlorDlg::RESULT_CHECK_FAILED);
    QCOMPARE(prompter.informs, QStringList{Text(*library, lang::IDS_CHECK_FAILED)});
    QCOMPARE(window.DataCheckDialog().StatusText(), QString("Data checking start....."));
    QVERIFY(!window.isVisible());
}

void MainWindowTest::dropDownFillsTheComboWithNumbersAndDevices() {
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {{"/dev/ttyTEST10", "COM10"}, {"/dev/ttyTEST3", "COM3"}});
    QVERIFY(window);
    QComboBox* combo = window->ComboBox(IDC_CMB_COM);
    combo->showPopup();  // the drop-down rebuilds the list
    combo->hidePopup();
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(1), Text(*library, lang::IDS_PORT_PREFIX) + "10");
    QCOMPARE(combo->itemData(1).toUInt(), 10u);
    QCOMPARE(combo->itemData(1, Qt::ToolTipRole).toString(), QString("/dev/ttyTEST10"));
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(combo->toolTip(), QString("/dev/ttyTEST3"));
    QCOMPARE(Enabled(*window), kIdle);
    // Another choice shows its device; the next drop-down selects the first port again.
    combo->setCurrentIndex(1);
    QCOMPARE(combo->toolTip(), QString("/dev/ttyTEST10"));
    combo->showPopup();
    combo->hidePopup();
    QCOMPARE(combo->currentIndex(), 0);
}

void MainWindowTest::clicksKeysTheCloseBoxAndARunsMessagesReachThePresenterAndTheList() {
    // Downloads against the handset model on an in-process line, which opens whatever the port
    // map names: the runs' messages come from the engine's own thread.
    auto line = std::make_unique<ModelLine>(SimOptions{});
    ModelLine& handset = *line;
    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {{"handset-model", "COM7"}}, std::move(line));
    QVERIFY(window);
    window->ComboBox(IDC_CMB_COM)->showPopup();
    window->ComboBox(IDC_CMB_COM)->hidePopup();
    QTest::mouseClick(window->Button(IDC_BTN_START), Qt::LeftButton);
    QCOMPARE(Enabled(*window), kRunning);
    QTRY_COMPARE_WITH_TIMEOUT(Enabled(*window), kIdle, 120000);
    // Newest on top, from the start line at the bottom to the done line (the lines in between
    // are the presenter's, tested without Qt).
    const QStringList lines = Lines(*window);
    QCOMPARE(lines.size(), 2 + 2 + 3 + 1);  // a line for each of two full blocks, the ESN's under done
    QCOMPARE(lines.first(), Text(*library, lang::IDS_DONE));
    QVERIFY2(lines[1].startsWith(Text(*library, lang::IDS_ESN_LINE).section(QChar(0x25), 0, 0) + "9F"),
             qPrintable(lines[1]));
    QCOMPARE(lines[2], TextWithNumber(*library, lang::IDS_PROGRESS, 100));
    QCOMPARE(lines.last(), Text(*library, lang::IDS_STARTED));
    std::string why;
    QVERIFY2(ImageMatchesLoad(handset.Image(), TestLoad(kLoadSize), &why), why.c_str());
    SaveScreenshot(*window, "main-window-after-download-eng");

    // On a paced line (about 1.3 s a block) the next run is still going when the answers come.
    SimOptions paced;
    QCOMPARE(ParseSimOptions({"--throttle", "1000000"}, paced), std::string());
    handset.PowerCycle(paced);
    QTest::mouseClick(window->Button(IDC_BTN_START), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Lines(*window).value(0), Text(*library, lang::IDS_STARTED), 5000);
    // Stop asks; No keeps the run.
    prompter.answerYes = false;
    QTest::mouseClick(window->Button(IDC_BTN_STOP), Qt::LeftButton);
    QCOMPARE(prompter.questions, QStringList{Text(*library, lang::IDS_STOP_QUESTION)});
    QCOMPARE(Enabled(*window), kRunning);
    // Esc, and Enter that no button takes, ask as the close box does; No keeps the window.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    window->ListView(IDC_LIST_STATUS)->setFocus();
    QTest::keyClick(window.get(), Qt::Key_Return);
    QCOMPARE(prompter.questions.mid(1), QStringList(2, Text(*library, lang::IDS_CLOSE_QUESTION)));
    QVERIFY(window->isVisible());
    // Yes on the close box: the run is stopped, then the window ends.
    prompter.answerYes = true;
    window->close();
    QCOMPARE(prompter.questions.size(), 4);
    QVERIFY(!window->isVisible());
    QCOMPARE(window->result(), int(QDialog::Rejected));
    QVERIFY2(prompter.informs.isEmpty(), qPrintable(prompter.informs.join("\n")));  // stopped within the wait
}

void MainWindowTest::aboutIsInTheContextMenuAndOnF1() {
    auto library = LoadLanguage(LANGUAGE_SIMPLIFIED_CHINESE);
    CScriptedPrompter prompter;
    auto window = OpenWindow(*library, prompter, {});
    QVERIFY(window);
    QCOMPARE(window->actions().size(), 1);
    QAction* about = window->actions().first();
    QCOMPARE(about->text(), TextWithModel(*library, lang::IDS_ABOUT));
    QCOMPARE(about->data().toInt(), IDM_ABOUTBOX);
    QCOMPARE(about->shortcut(), QKeySequence(Qt::Key_F1));
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
}

void MainWindowTest::screenshotsOfTheMainWindow() {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        auto library = LoadLanguage(position);
        CScriptedPrompter prompter;
        auto window = OpenWindow(*library, prompter, {{"/dev/ttyUSB0", "COM21"}, {"/dev/ttyS0", "COM1"}});
        QVERIFY(window);
        window->ComboBox(IDC_CMB_COM)->showPopup();
        window->ComboBox(IDC_CMB_COM)->hidePopup();
        SaveScreenshot(*window, QString("main-window-") + LanguageTag(position));
    }
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
