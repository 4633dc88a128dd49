// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <functional>
#include <string>

#include "app/common/resource_library.h"
#include "app/common/start_up.h"
#include "app/window/bench_dlg.h"
#include "app/window/prompter.h"
#include "app/window/vexlor_dlg.h"

// What the program runs: the start-up of the window program (RunStartUp) with Qt's dialogs and
// message boxes; the log closes at exit.
class CVexlorApp : private StartUpView {
public:
    // What a test replaces; every empty field means the real thing.
    struct Hooks {
        std::string programFolder;                         // where the language libraries lie
        CPrompter* prompter = nullptr;                     // message boxes
        std::function<int(int& position)> chooseLanguage;  // the language dialog: result, position
        std::function<void(CVexlorDlg&)> runMainWindow;    // the main window's modal run
        CVexlorDlg::Options windowOptions;                 // taken by the one main window
        std::function<void(CBenchDlg&)> runBenchWindow;    // the bench window's modal run
        CBenchDlg::Options benchOptions;                   // taken by the one bench window
    };

    explicit CVexlorApp(StartWindow window = StartWindow::kMain);
    explicit CVexlorApp(Hooks hooks, StartWindow window = StartWindow::kMain);

    // The whole start-up; returns false, so that the program ends when it returns.
    bool InitInstance();
    // Closes the log. The program's exit status.
    int ExitInstance();
    // InitInstance, then ExitInstance.
    int Run();

    const CResourceLibrary& Library() const { return m_library; }

private:
    // StartUpView: Qt's dialogs.
    int ChooseLanguage(int& position) override;
    void ShowError(const std::string& caption, const std::string& text) override;
    void RunMainWindow(const CResourceLibrary& library) override;
    void RunBenchWindow(const CResourceLibrary& library) override;

    CPrompter& Prompter() { return m_hooks.prompter ? *m_hooks.prompter : m_messageBoxes; }

    Hooks m_hooks;
    StartWindow m_window;
    CMessageBoxPrompter m_messageBoxes;
    CResourceLibrary m_library;
};
