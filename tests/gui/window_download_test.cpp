// SPDX-License-Identifier: Apache-2.0
// A whole download driven through the main window against the handset simulator: pick the
// port, press Start, and follow the run in the status list to its done line, with the load
// arriving byte for byte in the handset.
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "app/common/language_choice.h"
#include "app/window/resource_ids.h"
#include "app/window/vexlor_dlg.h"
#include "gui_support.h"
#include "lang/string_ids.h"

namespace {

QStringList Lines(CVexlorDlg& window) {
    QStringList lines;
    QTreeWidget* list = window.ListView(IDC_LIST_STATUS);
    for (int i = 0; i < list->topLevelItemCount(); ++i) lines << list->topLevelItem(i)->text(0);
    return lines;
}

// The simulator on a pseudo-terminal, registered as port in settings; ended with the object.
class SimulatedHandset {
public:
    SimulatedHandset(const QString& settings, const QString& port, const QString& imageOut) {
        m_process.setProgram(BinFolder() + "vexlor-handset-sim");
        m_process.setArguments({"--register", settings, "--com", port, "--image-out", imageOut});
        m_process.start();
    }
    ~SimulatedHandset() {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) m_process.kill();
        m_process.waitForFinished(10000);
    }
    // The terminal's path, the simulator's first output line; empty when it did not start.
    QString WaitForTerminal() {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000)) return {};
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    QByteArray Errors() { return m_process.readAllStandardError(); }

private:
    QProcess m_process;
};

}  // namespace

class WindowDownloadTest : public QObject {
    Q_OBJECT
private slots:
    void downloadFromTheWindowCompletesWithProgressLines();
};

void WindowDownloadTest::downloadFromTheWindowCompletesWithProgressLines() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const int loadSize = 5 * 128 * 1024 + 3000;  // five full blocks and a short one
    QString loadPath;
    const QString program = MakePackedProgram(folder.path(), loadSize, "V12.0", &loadPath);
    QVERIFY(!program.isEmpty());

    // The port map holds only the simulator's terminal; the engine reads the same file.
    SerialCommSources ports = PortMap(folder.path(), {});
    const QString settings = QString::fromStdString(ports.settingsFile);
    const QString imageOut = folder.path() + "/received.bin";
    SimulatedHandset handset(settings, "COM7", imageOut);
    const QString terminal = handset.WaitForTerminal();
    QVERIFY2(terminal.startsWith("/dev/"), handset.Errors().constData());

    auto library = LoadLanguage(LANGUAGE_ENGLISH);
    CScriptedPrompter prompter;
    CVexlorDlg window(*library, prompter, {program.toStdString(), ports});
    QVERIFY(window.OnInitDialog());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QComboBox* combo = window.ComboBox(IDC_CMB_COM);
    combo->showPopup();
    combo->hidePopup();
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->currentText(), QString("COM7"));
    QCOMPARE(combo->itemData(0, Qt::ToolTipRole).toString(), terminal);

    QTest::mouseClick(window.Button(IDC_BTN_START), Qt::LeftButton);
    QCOMPARE(window.State(), CVexlorDlg::ControlState::Running);
    QTRY_COMPARE_WITH_TIMEOUT(window.State(), CVexlorDlg::ControlState::Idle, 180000);

    const QStringList lines = Lines(window);
    QVERIFY2(prompter.informs.isEmpty(), qPrintable(prompter.informs.join("\n")));
    QCOMPARE(lines.first(), Text(*library, lang::IDS_DONE));
    QCOMPARE(lines[1], TextWithNumber(*library, lang::IDS_PROGRESS, 100));
    QCOMPARE(lines.last(), Text(*library, lang::IDS_STARTED));
    QCOMPARE(lines[lines.size() - 2], Text(*library, lang::IDS_DIAG_READY));
    QCOMPARE(lines[lines.size() - 3], TextWithNumber(*library, lang::IDS_PROGRESS, 0));
    // Between 100 and 0: one line per block, percentages falling towards the bottom.
    int previous = 100;
    int blockLines = 0;
    for (int i = 2; i < lines.size() - 3; ++i) {
        bool matched = false;
        for (int percent = previous - 1; percent > 0 && !matched; --percent) {
            if (lines[i] == TextWithNumber(*library, lang::IDS_PROGRESS, percent)) {
                previous = percent;
                matched = true;
            }
        }
        QVERIFY2(matched, qPrintable("unexpected line: " + lines[i]));
        ++blockLines;
    }
    QCOMPARE(blockLines, 5);  // the sixth block ends at 100, which is not posted twice
    QCOMPARE(window.ComboBox(IDC_CMB_COM)->isEnabled(), true);
    QCOMPARE(window.Button(IDC_BTN_START)->isEnabled(), true);
    QCOMPARE(window.Button(IDC_BTN_STOP)->isEnabled(), false);

    // The handset holds the load, byte for byte.
    QFile load(loadPath), received(imageOut);
    QVERIFY(load.open(QIODevice::ReadOnly));
    QTRY_VERIFY_WITH_TIMEOUT(received.exists(), 10000);
    QVERIFY(received.open(QIODevice::ReadOnly));
    const QByteArray expected = load.readAll();
    const QByteArray image = received.readAll();
    QVERIFY(image.size() >= expected.size());
    QVERIFY(image.left(expected.size()) == expected);

    SaveScreenshot(window, "main-window-after-download-eng");
}

QTEST_MAIN(WindowDownloadTest)
#include "window_download_test.moc"
