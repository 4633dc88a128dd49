// SPDX-License-Identifier: Apache-2.0
// The Qt start-up's wiring: the shared start-up (tested without Qt in tests/app_common) runs
// Qt's language dialog, message boxes and main window, and the real program ends at once while
// another copy runs, and without a display it says so and how to work without one.
#include <QProcess>
#include <QTest>

#include "app/common/instance_mutex.h"
#include "app/common/language_choice.h"
#include "app/common/resource_ids.h"
#include "app/window/vexlor_app.h"
#include "gui_support.h"
#include "lang/string_ids.h"

class AppStartTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void chosenLanguageRunsTheWindowOrTheErrorBoxNamesItsLibrary();
    void secondCopyOfTheProgramEndsSilentlyWhileTheFirstRuns();
    void withoutADisplayTheProgramSaysSoAndNamesTheHeadlessCommands();

private:
    CVexlorApp::Hooks Hooks(CScriptedPrompter& prompter, int position, QString& title);

    QTemporaryDir m_runtime;
    QTemporaryDir m_folder;
    QString m_program;
};

void AppStartTest::initTestCase() {
    UseOwnRuntimeFolder(m_runtime);
    QVERIFY(m_folder.isValid());
    m_program = MakePackedProgram(m_folder.path(), 20 * 1024, "V12.0");
    QVERIFY(!m_program.isEmpty());
}

CVexlorApp::Hooks AppStartTest::Hooks(CScriptedPrompter& prompter, int position, QString& title) {
    CVexlorApp::Hooks hooks;
    hooks.prompter = &prompter;
    hooks.chooseLanguage = [position](int& chosen) {
        chosen = position;
        return IDOK;
    };
    hooks.runMainWindow = [&title](CVexlorDlg& window) {
        QVERIFY(window.OnInitDialog());
        title = window.windowTitle();
    };
    hooks.windowOptions.programPath = m_program.toStdString();
    return hooks;
}

void AppStartTest::chosenLanguageRunsTheWindowOrTheErrorBoxNamesItsLibrary() {
    // In a folder without the libraries: the error box, and no window.
    QTemporaryDir emptyFolder;
    QVERIFY(emptyFolder.isValid());
    CScriptedPrompter prompter;
    QString title;
    CVexlorApp::Hooks hooks = Hooks(prompter, LANGUAGE_SIMPLIFIED_CHINESE, title);
    hooks.programFolder = emptyFolder.path().toStdString() + "/";
    QCOMPARE(CVexlorApp(std::move(hooks)).InitInstance(), false);
    const QString path = emptyFolder.path() + "/" + LanguageLibraryFile(LANGUAGE_SIMPLIFIED_CHINESE);
    QCOMPARE(prompter.errors, QStringList{"Error|Couldn't load file with path: " + path + "."});
    QVERIFY(title.isEmpty());

    // In the program's folder: the window, in that language.
    CVexlorApp app(Hooks(prompter, LANGUAGE_TRADITIONAL_CHINESE, title));
    QCOMPARE(app.InitInstance(), false);  // the program ends when the start returns
    QCOMPARE(prompter.errors.size(), 1);
    QCOMPARE(title, TextWithModel(*LoadLanguage(LANGUAGE_TRADITIONAL_CHINESE), lang::IDS_TITLE));
    QCOMPARE(app.ExitInstance(), 0);
}

void AppStartTest::secondCopyOfTheProgramEndsSilentlyWhileTheFirstRuns() {
    // The real program, started while this process holds the instance mutex, as a first copy
    // showing any of its windows does.
    CInstanceMutex first;
    QCOMPARE(first.Create("Vexlor"), 1);
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    second.setProcessEnvironment(environment);
    second.start(BinFolder() + "vexlor", {});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.readAllStandardOutput(), QByteArray());
    // No window: a window would have kept it running; nothing said on the error stream either
    // (Qt's own notices about the offscreen platform aside).
    const QByteArray errors = second.readAllStandardError();
    QVERIFY2(!errors.contains("vexlor"), errors.constData());
}

void AppStartTest::withoutADisplayTheProgramSaysSoAndNamesTheHeadlessCommands() {
    // The environment cleared (no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM), then a
    // platform that needs a display named outright: the window and the bench window alike.
    // (One variable of no consequence: an environment with none may be taken for the parent's.)
    QProcessEnvironment cleared;
    cleared.insert("LC_ALL", "C");
    QProcessEnvironment xcb = cleared;
    xcb.insert("QT_QPA_PLATFORM", "xcb");
    for (const auto& [environment, arguments] :
         {std::pair{cleared, QStringList{}}, std::pair{cleared, QStringList{"--bench"}},
          std::pair{xcb, QStringList{"--bench"}}}) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(BinFolder() + "vexlor", arguments);
        QVERIFY(program.waitForFinished(30000));
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 2);
        QVERIFY2(errors.contains("vexlor: no display was found"), qPrintable(errors));
        QVERIFY2(errors.contains("vexlor --cli --port COM3"), qPrintable(errors));
        QVERIFY2(!errors.contains("reinstalling"), qPrintable(errors));
    }
    // A platform that draws without one (offscreen) is left to Qt: the test above runs so.
}

QTEST_MAIN(AppStartTest)
#include "app_start_test.moc"
