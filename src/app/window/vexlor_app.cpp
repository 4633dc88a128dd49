// SPDX-License-Identifier: Apache-2.0
#include "app/window/vexlor_app.h"

#include "app/window/language_dlg.h"
#include "log/log.h"
#include "platform/station_names.h"

namespace {

// The program's own hooks: the bench window keeps its records in the system's default store.
CVexlorApp::Hooks RealHooks() {
    CVexlorApp::Hooks hooks;
    hooks.benchOptions.recordsPath = platform::DefaultRecordStorePath();
    return hooks;
}

}  // namespace

CVexlorApp::CVexlorApp(StartWindow window) : CVexlorApp(RealHooks(), window) {}

CVexlorApp::CVexlorApp(Hooks hooks, StartWindow window) : m_hooks(std::move(hooks)), m_window(window) {}

int CVexlorApp::Run() {
    InitInstance();
    return ExitInstance();
}

bool CVexlorApp::InitInstance() {
    RunStartUp(*this, m_library, m_hooks.programFolder, m_window);
    return false;
}

int CVexlorApp::ExitInstance() {
    LogClose();
    return 0;
}

int CVexlorApp::ChooseLanguage(int& position) {
    if (m_hooks.chooseLanguage) return m_hooks.chooseLanguage(position);
    CLanguageDlg language;
    const int chosen = language.exec();
    position = language.Position();
    return chosen;
}

void CVexlorApp::ShowError(const std::string& caption, const std::string& text) {
    Prompter().Error(QString::fromStdString(caption), QString::fromStdString(text));
}

void CVexlorApp::RunMainWindow(const CResourceLibrary& library) {
    CVexlorDlg window(library, Prompter(), std::move(m_hooks.windowOptions));
    if (m_hooks.runMainWindow) {
        m_hooks.runMainWindow(window);
    } else {
        window.RunModal();
    }
}

void CVexlorApp::RunBenchWindow(const CResourceLibrary& library) {
    CBenchDlg window(library, Prompter(), std::move(m_hooks.benchOptions));
    if (m_hooks.runBenchWindow) {
        m_hooks.runBenchWindow(window);
    } else {
        window.RunModal();
    }
}
