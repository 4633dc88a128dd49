// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/common/resource_library.h"
#include "app/common/start_up.h"

// What the program runs on Windows: the start-up of the window program (RunStartUp) with the
// program's own dialogs and the system's message boxes, opening the main window or the bench
// window; the log closes at exit.
class CVexlorApp : private StartUpView {
public:
    explicit CVexlorApp(StartWindow window = StartWindow::kMain) : m_window(window) {}

    // The whole start-up; returns false, so that the program ends when it returns.
    bool InitInstance();
    // Closes the log. The program's exit status: 1 when the window could not be shown.
    int ExitInstance();
    // InitInstance, then ExitInstance.
    int Run();

private:
    // StartUpView: the program's dialogs.
    int ChooseLanguage(int& position) override;
    void ShowError(const std::string& caption, const std::string& text) override;
    void RunMainWindow(const CResourceLibrary& library) override;
    void RunBenchWindow(const CResourceLibrary& library) override;

    StartWindow m_window;
    CResourceLibrary m_library;
    int m_status = 0;
};
