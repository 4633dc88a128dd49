// SPDX-License-Identifier: Apache-2.0
#include "app/window/vexlor_app.h"

#include "app/common/instance_mutex.h"
#include "app/common/language_choice.h"
#include "app/window/language_dlg.h"
#include "app/window/prompter.h"
#include "app/window/resource_ids.h"
#include "log/log.h"
#include "platform/program_path.h"

CVexlorApp::CVexlorApp() : CVexlorApp(Hooks{}) {}

CVexlorApp::CVexlorApp(Hooks hooks) : m_hooks(std::move(hooks)) {}

int CVexlorApp::Run() {
    InitInstance();
    return ExitInstance();
}

bool CVexlorApp::InitInstance() {
    CMessageBoxPrompter messageBoxes;
    CPrompter& prompter = m_hooks.prompter ? *m_hooks.prompter : messageBoxes;

    LogOpen("SOFTWARE\\Vexlor");
    CInstanceMutex instance;
    if (instance.Create("Vexlor") <= 0) {
        // Another copy runs (or the guard failed, which is logged): end without a word.
        instance.Close();
        return false;
    }

    int position = 0;
    int chosen = 0;
    if (m_hooks.chooseLanguage) {
        chosen = m_hooks.chooseLanguage(position);
    } else {
        CLanguageDlg language;
        chosen = language.exec();
        position = language.Position();
    }
    if (chosen != IDOK) return false;

    const std::string folder = m_hooks.programFolder.empty() ? platform::ProgramFolder() : m_hooks.programFolder;
    const std::string path = LanguageLibraryPath(folder, position);
    if (!m_library.Load(path)) {
        LogWrite(LOG_ER, "Couldn't load file with path: %s. %s", path.c_str(), m_library.LoadError().c_str());
        prompter.Error(QStringLiteral("Error"),
                       QStringLiteral("Couldn't load file with path: %1.").arg(QString::fromStdString(path)));
        return false;
    }

    CVexlorDlg window(m_library, prompter, m_hooks.windowOptions);
    if (m_hooks.runMainWindow) {
        m_hooks.runMainWindow(window);
    } else {
        window.RunModal();
    }
    return false;
}

int CVexlorApp::ExitInstance() {
    LogClose();
    return 0;
}
