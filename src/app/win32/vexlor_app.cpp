// SPDX-License-Identifier: Apache-2.0
#include "app/win32/vexlor_app.h"

#include "app/win32/vexlor_dlg.h"  // first: see there

#include <cstdio>

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
    const INT_PTR chosen = language.RunModal(nullptr);
    if (chosen == -1) {
        // No desktop to show it on (a service, a session without display): say so where a
        // console that started us can still read it.
        const unsigned long error = GetLastError();
        LogWrite(LOG_ER, "The language dialog could not be shown, error %lu.", error);
        std::fprintf(stderr, "vexlor: the window cannot be shown (system error %lu); see 'vexlor --help' for the "
                             "headless commands.\n", error);
        m_status = 1;
    }
    if (chosen != IDOK) return false;

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
    return m_status;
}
