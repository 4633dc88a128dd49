// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "app/common/bench_window_view.h"
#include "app/common/status_lines.h"
#include "platform/notify_target.h"
#include "platform/serial_line.h"
#include "serial/serial_port_list.h"

// Where a bench window's package, ports and lines come from, and how its station waits.
struct BenchWindowOptions {
    std::string programPath;        // the file holding the package; empty: the running program
    SerialCommSources portSources;  // where the port list comes from; empty fields: the system's
    // The serial line of a port, shared by its looks for a handset and its downloads; null: the
    // serial device.
    std::function<std::unique_ptr<platform::SerialLine>(const std::string& port)> lineFor;
    // How long a done handset is waited for to answer again after its restart, and how long
    // nothing must answer before a handset counts as taken off the cable.
    std::chrono::milliseconds confirmTimeout{60000};
    std::chrono::milliseconds goneAfter{3000};
    // How often the port list is read again for ports plugged in or taken away.
    std::chrono::milliseconds listEvery{2000};
    // The record store every handset's record goes into (opened at the first Start); empty:
    // none is kept. The programs set the system's default place.
    std::string recordsPath;
};

// What the bench window decides, whatever toolkit draws it: the package check at opening, the
// port rows, Start on the checked ports (each guarded by the same per-port lock as the command
// line's runs, a port another run holds refused by name), Stop and closing (asked first while
// anything runs), the Station mode (handset after handset, as the command line's --station),
// the report file (the rows of --report) and the totals. It drives the command line's station
// runner from the window's thread: the window calls Tick from a timer, and each row is repainted
// at most once a tick, only when it changed. The port list is read again now and then, so ports
// plugged in while the window is open get their rows.
class BenchWindowPresenter {
public:
    // How often the window calls Tick, in milliseconds: five times a second moves a bar smoothly
    // enough, and each tick costs the window a wake-up (sixteen busy ports at ten a second cost
    // the window a sixth more CPU than the command line's bench).
    static constexpr int kTickMs = 200;

    // view draws; text gives library texts.
    BenchWindowPresenter(BenchWindowView& view, TextLookup text, BenchWindowOptions options);
    // Stops what still runs and waits for it.
    ~BenchWindowPresenter();
    BenchWindowPresenter(const BenchWindowPresenter&) = delete;
    BenchWindowPresenter& operator=(const BenchWindowPresenter&) = delete;

    // The package check, while the data checking dialog shows, as the main window's: the
    // dialog's progress format, then the check on its own thread (percentages posted to
    // progressTarget), true when it passed.
    std::string BeginPackageCheck();
    bool CheckPackage(platform::NotifyTarget* progressTarget);
    // After the check: says why when it failed, else fills the window (captions, one row per
    // listed port, totals, controls). False when the window must end.
    bool Open(bool checkPassed);

    // What the user does.
    void PortChecked(size_t row, bool checked);
    void StationToggled(bool on);
    // The report file chosen (empty: none); one that cannot be written is told and not kept.
    void ReportChosen(const std::string& path);
    void Start();
    // Asks first; then every run stops.
    void Stop();
    // The window's timer: takes what the runs posted and repaints what changed.
    void Tick();
    // The close box: true when the window may close now (asked first while anything runs,
    // which is then stopped). A second request while the question shows is refused.
    bool MayClose();

    // True while the bench runs (from Start until every port has ended).
    bool Running() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
