// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <functional>
#include <string>

#include "app/common/resource_library.h"
#include "app/window/vexlor_dlg.h"

class CPrompter;

// What the program runs: the log, one instance at a time, the language chosen at every start,
// the language library from the program's folder and the main window; the log closes at exit.
class CVexlorApp {
public:
    // What a test replaces; every empty field means the real thing.
    struct Hooks {
        std::string programFolder;                        // where the language libraries lie
        CPrompter* prompter = nullptr;                    // message boxes
        std::function<int(int& position)> chooseLanguage; // the language dialog: result, position
        std::function<void(CVexlorDlg&)> runMainWindow;   // the main window's modal run
        CVexlorDlg::Options windowOptions;
    };

    CVexlorApp();
    explicit CVexlorApp(Hooks hooks);

    // The whole start-up; returns false, so that the program ends when it returns.
    bool InitInstance();
    // Closes the log. The program's exit status.
    int ExitInstance();
    // InitInstance, then ExitInstance.
    int Run();

    const CResourceLibrary& Library() const { return m_library; }

private:
    Hooks m_hooks;
    CResourceLibrary m_library;
};
