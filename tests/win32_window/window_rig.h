// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the window tests share: a user-interface thread that runs a dialog's modal loop while
// the test drives it with window messages, finding the dialogs and message boxes of that
// thread, reading controls, and screenshots.
#include <windows.h>
#undef LoadString

#include <functional>
#include <string>
#include <thread>
#include <vector>

// Runs body (a modal dialog) on a thread of its own; the result is kept for Join.
class UiThread {
public:
    explicit UiThread(std::function<INT_PTR()> body);
    ~UiThread();  // joins
    DWORD Id() const { return m_id; }
    // Waits for body to return; false after limitMs.
    bool Join(int limitMs);
    INT_PTR Result() const { return m_result; }

private:
    std::thread m_thread;
    DWORD m_id = 0;
    HANDLE m_ended = nullptr;
    INT_PTR m_result = -1;
};

// Polls predicate every 20 ms: true as soon as it holds, false after limitMs.
bool WaitUntil(const std::function<bool()>& predicate, int limitMs);

// A visible dialog window (class #32770) of thread whose caption is caption (any when empty);
// null after limitMs.
HWND WaitForDialog(DWORD thread, const std::string& caption, int limitMs);
// A visible message box of thread: its text, after it was answered by clicking button (IDYES,
// IDNO, IDOK); empty when none showed within limitMs.
std::string AnswerMessageBox(DWORD thread, int button, int limitMs);

// Closes every window of thread, answering Yes to any question, for up to limitMs.
void CloseEverything(DWORD thread, int limitMs);

std::string TextOf(HWND window);
std::string ItemText(HWND dialog, int controlId);
bool ItemEnabled(HWND dialog, int controlId);
bool ItemVisible(HWND dialog, int controlId);
// A click as the user makes it, queued: the handler runs on the window's own thread.
void Click(HWND dialog, int controlId);
// The text of the tooltip window's owner shows for its control controlId.
std::string TooltipText(HWND owner, int controlId);
// The lines of a list view, top to bottom.
std::vector<std::string> ListViewLines(HWND list);
// The text of one cell of a report-view list view.
std::string ListViewCell(HWND list, int row, int column);
// Checks or clears a row's check box as a click on it does (the list tells its owner).
void SetListViewCheck(HWND list, int row, bool checked);
// The entries of a list box, top to bottom.
std::vector<std::string> ListBoxEntries(HWND list);

// A program started with the given arguments (none when empty); null when it did not start.
HANDLE StartProgram(const std::string& path, const std::string& arguments = std::string());
DWORD ExitCodeOf(HANDLE process);
// A visible dialog window of process whose caption is caption; null after limitMs.
HWND WaitForProcessDialog(HANDLE process, const std::string& caption, int limitMs);

// Saves a picture of window as <build>/screenshots/<name>.png; false when it could not.
bool SaveScreenshot(HWND window, const std::string& name);
