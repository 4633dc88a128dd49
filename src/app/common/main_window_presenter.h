// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/common/main_window_view.h"
#include "app/common/status_lines.h"
#include "engine/dl_operator.h"
#include "engine/message_sink.h"
#include "platform/notify_target.h"
#include "platform/port_lock.h"
#include "platform/read_only_file.h"
#include "platform/serial_line.h"
#include "serial/serial_port_list.h"

class MainWindowRecords;

// Where a main window's package, ports and downloads' line come from.
struct MainWindowOptions {
    std::string programPath;                               // the file holding the package; empty: the running program
    SerialCommSources portSources;                         // where the port list comes from; empty fields: the system's
    std::unique_ptr<platform::SerialLine> line = nullptr;  // the operator's; null: the serial device
    // The record store every run's record goes into (opened at the first Start); empty: none is
    // kept. The programs set the system's default place.
    std::string recordsPath;
};

// What the main window decides, whatever toolkit draws it: the package check at opening, the
// lines each status and progress message adds, the state of the controls, the instruction lines,
// the port items, Start, Stop, the questions before stopping or closing, the operator's own
// messages, and each run's production record in the record store. The window forwards what the user does and what the
// engine posts, and draws what it is told through its MainWindowView.
class CMainWindowPresenter : private IMessageSink {
public:
    // view draws; text gives library texts; op is the window's download operator, to which runs
    // post through target (the window's own); programFile is the window's, opened here on
    // options.programPath (a file that will not open is not reported here: the check then
    // fails). op and programFile must outlive the presenter.
    CMainWindowPresenter(MainWindowView& view, TextLookup text, CDLOperator& op, platform::NotifyTarget* target,
                         platform::ReadOnlyFile& programFile, MainWindowOptions options);
    // Stops a download that still runs: the operator's worker reads the program file and posts
    // to the window, so it must end before either goes.
    ~CMainWindowPresenter() override;
    CMainWindowPresenter(const CMainWindowPresenter&) = delete;
    CMainWindowPresenter& operator=(const CMainWindowPresenter&) = delete;

    // The About item's text (the About dialog's caption too); empty: no About item.
    std::string AboutText() const;

    // The package check, while the data checking dialog shows. BeginPackageCheck writes the
    // check's log line and gives the dialog's progress format. CheckPackage runs on the check's
    // own thread: the operator posts its percentages to progressTarget (the dialog), keeps the
    // program file for its downloads and checks the package; true when it passed.
    std::string BeginPackageCheck();
    bool CheckPackage(platform::NotifyTarget* progressTarget);
    // After the check (checkPassed: the data checking dialog ended with its passed result): says
    // why when it failed, then fills the window (title, captions, the no-port item, the
    // instruction lines, the no-port state). False when the window must end.
    bool Open(bool checkPassed);

    // The user opens the port list: it is read afresh.
    void DropDown();
    void Start();
    void Stop();
    // A message the engine posted: WM_DL_STATUS, WM_DL_PROGRESS and WM_DL_NOTICE; others change
    // nothing.
    void Notify(uint32_t message, uintptr_t value);
    // The close box, Esc or Enter: true when the window may close now (asked first while a
    // download runs, which is then stopped). A second request while the question shows is
    // refused.
    bool MayClose();

private:
    enum class ControlState { NoPort, Idle, Running };

    // The port numbers of the system's port list, in ascending order.
    std::vector<uint32_t> EnumerateSerialPorts() const;
    // The operator's fixed messages (a thread that cannot be started or stopped).
    void Show(const char* text) override;
    void EnableControls(ControlState state);
    std::string SelectedPortName() const;
    // Takes the selected port's lock; the device behind the port ("" when the list has none).
    std::string ReservePort();
    // A run that began and has ended by a stop (the worker is gone): its record, and a line
    // when it is lost.
    void RecordStopped();
    void Status(uint32_t statusCode);
    void Progress(uint32_t percentage);
    // Seconds until a stop asked now goes through (the rest of the block being written); none
    // outside the blocks.
    std::optional<double> SecondsToStop() const;

    MainWindowView& m_view;
    TextLookup m_text;
    CDLOperator& m_operator;
    platform::NotifyTarget* m_target;
    platform::ReadOnlyFile& m_programFile;
    SerialCommSources m_portSources;
    std::atomic<int32_t> m_checkResult{0};         // set by the check's thread
    std::unique_ptr<MainWindowRecords> m_records;  // the runs' way into the record store
    int m_showStatus = 1;
    uint32_t m_lastStatus = 0;                           // the run's latest status, 0 before the first
    bool m_starting = false;                             // inside the operator's Start
    bool m_startRefused = false;                         // it said why it would not start
    bool m_closing = false;                              // the close question shows
    uint64_t m_blockBytes = 0;                           // the load bytes at the latest block end the window saw
    std::chrono::steady_clock::time_point m_blockEndAt;  // and when
    platform::PortLock m_portLock;                       // the running download's port, on the whole machine
};
