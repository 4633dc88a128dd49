// SPDX-License-Identifier: Apache-2.0
#include "app/win32/vexlor_app.h"

// The engine's headers come before <windows.h> (see vexlor_dlg.h).
// clang-format off
#include "app/win32/vexlor_dlg.h"
#include "app/win32/bench_dlg.h"
// clang-format on

#include <cstdio>

#include "app/win32/language_dlg.h"
#include "app/win32/prompter.h"
#include "log/log.h"
#include "platform/station_names.h"

int CVexlorApp::Run() {
    InitInstance();
    return ExitInstance();
}

bool CVexlorApp::InitInstance() {
    RunStartUp(*this, m_library, std::string(), m_window);
    return false;
}

int CVexlorApp::ExitInstance() {
    LogClose();
    return m_status;
}

int CVexlorApp::ChooseLanguage(int& position) {
    CLanguageDlg language;
    const INT_PTR chosen = language.RunModal(nullptr);
    if (chosen == -1) {
        // No desktop to show it on (a service, a session without display): say so where a
        // console that started us can still read it.
        const unsigned long error = GetLastError();
        LogWrite(LOG_ER, "The language dialog could not be shown, error %lu.", error);
        std::fprintf(stderr,
                     "vexlor: the window cannot be shown (system error %lu); see 'vexlor --help' for the "
                     "headless commands.\n",
                     error);
        m_status = 1;
    }
    position = language.Position();
    return static_cast<int>(chosen);
}

void CVexlorApp::ShowError(const std::string& caption, const std::string& text) { ErrorBox(caption, text); }

void CVexlorApp::RunMainWindow(const CResourceLibrary& library) {
    CVexlorDlg window(library, CVexlorDlg::Options{});
    window.RunModal(nullptr);
}

void CVexlorApp::RunBenchWindow(const CResourceLibrary& library) {
    BenchWindowOptions options;
    options.recordsPath = platform::DefaultRecordStorePath();  // the bench keeps its records
    CBenchDlg window(library, std::move(options));
    window.RunModal(nullptr);
}
