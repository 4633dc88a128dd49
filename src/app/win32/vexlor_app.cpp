#include "app/win32/vexlor_app.h"

#include "app/win32/vexlor_dlg.h"  // first: see there

#include "app/common/instance_mutex.h"
#include "app/common/language_choice.h"
#include "app/win32/language_dlg.h"
#include "app/win32/prompter.h"
#include "log/log.h"
#include "platform/program_path.h"

int CVexlorApp::Run() {
    InitInstance();
    return ExitInstance();
}

bool CVexlorApp::InitInstance() {
    LogOpen("SOFTWARE\\Vexlor");
    CInstanceMutex instance;
    if (instance.Create("Vexlor") <= 0) {
        // Another copy runs (or the guard failed, which is logged): end without a word.
        instance.Close();
        return false;
    }

    CLanguageDlg language;
    if (language.RunModal(nullptr) != IDOK) return false;

    const std::string path = LanguageLibraryPath(platform::ProgramFolder(), language.Position());
    if (!m_library.Load(path)) {
        LogWrite(LOG_ER, "Couldn't load file with path: %s. %s", path.c_str(), m_library.LoadError().c_str());
        ErrorBox("Error", "Couldn't load file with path: " + path + ".");
        return false;
    }

    CVexlorDlg window(m_library, CVexlorDlg::Options{});
    window.RunModal(nullptr);
    return false;
}

int CVexlorApp::ExitInstance() {
    LogClose();
    return 0;
}
