// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

// What the bench window's presenter asks of a window toolkit: a table with one row per port,
// Start, Stop, the Station check box, the report file, the totals line, and the questions. The
// Qt window and the Win32 window each implement it; they only draw what they are told and
// forward what the user does. Every text arrives ready to show (library texts, filled in).
class BenchWindowView {
public:
    // The fixed texts: title, captions and column headings.
    struct Captions {
        std::string title;
        std::string start;
        std::string stop;
        std::string station;  // the Station check box
        std::string report;   // the label before the report file
        std::string browse;   // the button that chooses the report file
        // Column headings, in the table's order.
        std::string port;
        std::string device;
        std::string state;
        std::string progress;
        std::string rate;
        std::string timeLeft;
        std::string esn;
        std::string done;
        std::string failed;
        std::string result;
    };

    // One row as it is first listed: the port (COMn), its device and whether it is checked.
    struct PortItem {
        std::string port;
        std::string device;
        bool checked = false;
    };

    // What a row shows now.
    struct Row {
        // kStopping: a stop waits for the block being written; kStopped: the handset was stopped
        // in flight (its load is not in: it counts with the failed ones).
        enum class State { kIdle, kWaiting, kFlashing, kConfirming, kRemove, kDone, kFailed, kStopping, kStopped };
        State state = State::kIdle;
        std::string stateText;      // the state in words
        bool showProgress = false;  // the bar shows (a handset is being flashed, or just was)
        unsigned percent = 0;
        std::string rate;      // "" while unknown
        std::string timeLeft;  // "" while unknown; while confirming, the confirmation's
        std::string esn;       // the handset's ESN, "" while unknown
        unsigned done = 0;
        unsigned failed = 0;
        // The last handset's result in one line, and in full (the reason's lines under it);
        // a window shows resultDetail where resultLine is cut (tooltip or details pane).
        std::string resultLine;
        std::string resultDetail;
    };

    // Which controls take input.
    struct ControlStates {
        bool portChecks = false;  // the rows' check boxes
        bool start = false;
        bool stop = false;
        bool station = false;
        bool report = false;  // the report file and its browse button
    };

    virtual ~BenchWindowView() = default;

    virtual void SetCaptions(const Captions& captions) = 0;
    // Replaces every row by these, in order; the row index of later calls is the position here.
    virtual void SetPorts(const std::vector<PortItem>& ports) = 0;
    virtual void UpdateRow(size_t row, const Row& content) = 0;
    // The line under the table: the totals and the handsets per hour.
    virtual void SetTotals(const std::string& text) = 0;
    // Paints what changed at once, without the event loop: the presenter is about to wait (a
    // stop goes through the block being written first).
    virtual void ShowNow() {}
    virtual void SetStation(bool on) = 0;
    virtual void SetReportPath(const std::string& path) = 0;
    virtual void EnableControls(const ControlStates& states) = 0;
    // A question with Yes and No and a warning icon: true only for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A message with an OK button (a port refused, naming who holds it; a report file that
    // cannot be written; the package check's failure).
    virtual void Inform(const std::string& text) = 0;
};
