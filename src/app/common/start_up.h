// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

class CResourceLibrary;

// Which window the program opens: the main window (one handset), or the bench window (many
// ports at once, --bench).
enum class StartWindow { kMain, kBench };

// What the start-up asks of a window toolkit: its dialogs and boxes.
class StartUpView {
public:
    virtual ~StartUpView() = default;
    // Runs the language dialog: IDOK with the chosen list position, any other result when it
    // was cancelled or could not be shown.
    virtual int ChooseLanguage(int& position) = 0;
    // An error without owner window, with a stop icon and an OK button.
    virtual void ShowError(const std::string& caption, const std::string& text) = 0;
    // Runs the main window modally, with the texts of library.
    virtual void RunMainWindow(const CResourceLibrary& library) = 0;
    // Runs the bench window modally, with the texts of library.
    virtual void RunBenchWindow(const CResourceLibrary& library) = 0;
};

// The window program's start-up, whatever toolkit shows it: opens the log, lets one instance run
// at a time (another ends at once, without a word), asks for the language, loads its library
// from programFolder (empty: the program's own folder) into library and runs the main window.
// The single-instance mutex is held until the main window has closed; the log stays open for the
// exit to close. The bench window takes no single-instance mutex: it guards each port it runs
// on, as the command line does, so it goes side by side with other runs on other ports.
void RunStartUp(StartUpView& view, CResourceLibrary& library, const std::string& programFolder,
                StartWindow window = StartWindow::kMain);
