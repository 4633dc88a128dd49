// SPDX-License-Identifier: Apache-2.0
// The start-up: one instance at a time, the language chosen at every start, the library from
// the program's folder (or the "Error" box naming its full path), then the main window.
#include <QFile>
#include <QProcess>
#include <QTest>

#include "app/common/instance_mutex.h"
#include "app/common/language_choice.h"
#include "app/window/resource_ids.h"
#include "app/window/vexlor_app.h"
#include "gui_support.h"
#include "lang/string_ids.h"

class AppStartTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void chosenLanguageLoadsFromTheProgramFolderAndRunsTheWindow();
    void missingLibraryShowsTheErrorBoxWithTheFullPath();
    void cancelledLanguageDialogEndsBeforeAnyWindow();
    void secondInstanceEndsSilently();
    void secondCopyOfTheProgramEndsSilentlyWhileTheFirstRuns();
    void mutexIsReleasedWhenTheStartEnds();

private:
    CVexlorApp::Hooks Hooks(CScriptedPrompter& prompter, int position, int result, bool& asked, int& windows);

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

CVexlorApp::Hooks AppStartTest::Hooks(CScriptedPrompter& prompter, int position, int result, bool& asked,
                                      int& windows) {
    CVexlorApp::Hooks hooks;
    hooks.prompter = &prompter;
    hooks.chooseLanguage = [position, result, &asked](int& chosen) {
        asked = true;
        chosen = position;
        return result;
    };
    hooks.runMainWindow = [&windows](CVexlorDlg& window) {
        ++windows;
        QVERIFY(window.OnInitDialog());
    };
    hooks.windowOptions.programPath = m_program.toStdString();
    return hooks;
}

void AppStartTest::chosenLanguageLoadsFromTheProgramFolderAndRunsTheWindow() {
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        CScriptedPrompter prompter;
        bool asked = false;
        int windows = 0;
        CVexlorApp::Hooks hooks = Hooks(prompter, position, IDOK, asked, windows);
        QString title;
        hooks.runMainWindow = [&](CVexlorDlg& window) {
            ++windows;
            QVERIFY(window.OnInitDialog());
            title = window.windowTitle();
        };
        CVexlorApp app(hooks);
        QCOMPARE(app.InitInstance(), false);  // the program ends when the start returns
        QVERIFY(asked);
        QCOMPARE(windows, 1);
        QVERIFY(prompter.errors.isEmpty());
        auto expected = LoadLanguage(position);
        QCOMPARE(title, TextWithModel(*expected, lang::IDS_TITLE));
        QCOMPARE(app.Library().LoadString(lang::IDS_START), expected->LoadString(lang::IDS_START));
        QCOMPARE(app.ExitInstance(), 0);
    }
}

void AppStartTest::missingLibraryShowsTheErrorBoxWithTheFullPath() {
    QTemporaryDir emptyFolder;
    QVERIFY(emptyFolder.isValid());
    for (int position : {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE}) {
        CScriptedPrompter prompter;
        bool asked = false;
        int windows = 0;
        CVexlorApp::Hooks hooks = Hooks(prompter, position, IDOK, asked, windows);
        hooks.programFolder = emptyFolder.path().toStdString() + "/";
        CVexlorApp app(hooks);
        QCOMPARE(app.InitInstance(), false);
        const QString path = emptyFolder.path() + "/" + LanguageLibraryFile(position);
        QCOMPARE(prompter.errors, QStringList{"Error|Couldn't load file with path: " + path + "."});
        QCOMPARE(windows, 0);
        QVERIFY(!app.Library().IsLoaded());
    }
    // A file of that name that is no library fails the same way.
    QFile fake(emptyFolder.path() + "/VexlorChtRes.so");
    QVERIFY(fake.open(QIODevice::WriteOnly));
    fake.write("not a library");
    fake.close();
    CScriptedPrompter prompter;
    bool asked = false;
    int windows = 0;
    CVexlorApp::Hooks hooks = Hooks(prompter, LANGUAGE_TRADITIONAL_CHINESE, IDOK, asked, windows);
    hooks.programFolder = emptyFolder.path().toStdString() + "/";
    CVexlorApp(hooks).InitInstance();
    QCOMPARE(prompter.errors.size(), 1);
    QVERIFY(prompter.errors.first().endsWith(emptyFolder.path() + "/VexlorChtRes.so."));
    QCOMPARE(windows, 0);
}

void AppStartTest::cancelledLanguageDialogEndsBeforeAnyWindow() {
    CScriptedPrompter prompter;
    bool asked = false;
    int windows = 0;
    CVexlorApp app(Hooks(prompter, LANGUAGE_ENGLISH, IDCANCEL, asked, windows));
    QCOMPARE(app.InitInstance(), false);
    QVERIFY(asked);
    QCOMPARE(windows, 0);
    QVERIFY(prompter.errors.isEmpty());
    QVERIFY(!app.Library().IsLoaded());
}

void AppStartTest::secondInstanceEndsSilently() {
    CInstanceMutex first;
    QCOMPARE(first.Create("Vexlor"), 1);
    CScriptedPrompter prompter;
    bool asked = false;
    int windows = 0;
    CVexlorApp app(Hooks(prompter, LANGUAGE_ENGLISH, IDOK, asked, windows));
    QCOMPARE(app.InitInstance(), false);
    QVERIFY(!asked);  // not even the language dialog
    QCOMPARE(windows, 0);
    QVERIFY(prompter.errors.isEmpty() && prompter.informs.isEmpty() && prompter.questions.isEmpty());
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

void AppStartTest::mutexIsReleasedWhenTheStartEnds() {
    {
        CScriptedPrompter prompter;
        bool asked = false;
        int windows = 0;
        bool heldDuringWindow = false;
        CVexlorApp::Hooks hooks = Hooks(prompter, LANGUAGE_ENGLISH, IDOK, asked, windows);
        hooks.runMainWindow = [&](CVexlorDlg&) {
            CInstanceMutex probe;
            heldDuringWindow = probe.Create("Vexlor") == 0;
        };
        CVexlorApp(hooks).InitInstance();
        QVERIFY(heldDuringWindow);
    }
    CInstanceMutex after;
    QCOMPARE(after.Create("Vexlor"), 1);
}

QTEST_MAIN(AppStartTest)
#include "app_start_test.moc"
