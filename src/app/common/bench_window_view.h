// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

// What the bench window's presenter asks of a window toolkit: a tile and a table row per port,
// Start, Stop, "check all", the Station and silence boxes, the confirmation and removal times,
// the report file, the station line, sounds and the questions. The
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
        std::string handset;      // the handset's number on its port
        std::string checkAll;     // the button that checks every port
        std::string silent;       // the check box that silences the sounds
        std::string confirmTime;  // the label before the confirmation's time-out, in seconds
        std::string removalTime;  // the label before the time a handset takes to be removed, in seconds
        std::string tableView;    // the check box that shows the table instead of the tiles
        std::string details;      // the heading of the chosen port's details
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
        // kHeld: another program holds the port (resultLine names it).
        enum class State {
            kIdle,
            kWaiting,
            kFlashing,
            kConfirming,
            kRemove,
            kDone,
            kFailed,
            kStopping,
            kStopped,
            kHeld
        };
        State state = State::kIdle;
        std::string stateText;      // the state in words
        bool showProgress = false;  // the bar shows (a handset is being flashed, or just was)
        unsigned percent = 0;
        std::string rate;      // "" while unknown
        std::string timeLeft;  // "" while unknown; while confirming, the confirmation's
        std::string esn;       // the handset's ESN, "" while unknown
        unsigned done = 0;
        unsigned failed = 0;
        unsigned handset = 0;  // the number of its latest handset since Start (0: none yet)
        // How its latest handset ended, while the row still tells it (a handset waiting to be
        // removed shows it).
        enum class Outcome { kNone, kDone, kFailed };
        Outcome outcome = Outcome::kNone;
        // The last handset's result in one line, and in full (the reason's lines under it);
        // a window shows resultDetail where resultLine is cut (tooltip or details pane).
        std::string resultLine;
        std::string resultDetail;
    };

    // What a port's tile shows, to be read from a metre away: the colour never alone, always with
    // its word and its icon.
    struct Tile {
        enum class Tone { kNeutral, kBlue, kAmber, kGreen, kRed };
        enum class Icon { kIdle, kWaiting, kFlashing, kConfirming, kDone, kFailed, kHeld, kStopping };
        std::string port;  // large
        Tone tone = Tone::kNeutral;
        Icon icon = Icon::kIdle;
        std::string word;  // the state in one word or two
        bool showBar = false;
        unsigned percent = 0;
        std::string figures;  // "42 %   0:31 left", the confirmation's countdown, or ""
        std::string esn;      // the handset's ESN once known
        std::string line;     // why, in short: the failure's reason, the holder, a notice
        std::string action;   // what the technician does now: "remove", "switch off, remove"
        std::string counts;   // the port's done and failed handsets since Start
    };

    // The sounds a station plays, unless silenced.
    enum class Sound { kDone, kFailed };

    // Which controls take input.
    struct ControlStates {
        bool portChecks = false;  // the rows' check boxes
        bool start = false;
        bool stop = false;
        bool station = false;
        bool report = false;  // the report file and its browse button
        bool times = false;   // the confirmation and removal times
    };

    virtual ~BenchWindowView() = default;

    virtual void SetCaptions(const Captions& captions) = 0;
    // Replaces every row by these, in order; the row index of later calls is the position here.
    virtual void SetPorts(const std::vector<PortItem>& ports) = 0;
    virtual void UpdateRow(size_t row, const Row& content) = 0;
    // The tile of the row's port; called only when it changed, at most once a tick.
    virtual void UpdateTile(size_t row, const Tile& tile) = 0;
    virtual void Play(Sound sound) = 0;
    // The station line, in large type: the counts and the handsets per hour since Start.
    virtual void SetTotals(const std::string& text) = 0;
    // Paints what changed at once, without the event loop: the presenter is about to wait (a
    // stop goes through the block being written first).
    virtual void ShowNow() {}
    virtual void SetStation(bool on) = 0;
    virtual void SetReportPath(const std::string& path) = 0;
    virtual void SetSilent(bool on) = 0;
    // The confirmation's time-out and the removal time, in seconds.
    virtual void SetTimes(unsigned confirmSeconds, unsigned removalSeconds) = 0;
    virtual void EnableControls(const ControlStates& states) = 0;
    // A question with Yes and No and a warning icon: true only for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // A message with an OK button (a port refused, naming who holds it; a report file that
    // cannot be written; the package check's failure).
    virtual void Inform(const std::string& text) = 0;
};
