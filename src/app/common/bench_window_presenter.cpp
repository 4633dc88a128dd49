// SPDX-License-Identifier: Apache-2.0
#include "app/common/bench_window_presenter.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "app/common/bench_rows.h"
#include "app/common/bench_settings.h"
#include "app/common/bench_tiles.h"
#include "app/common/figure_throttle.h"
#include "app/common/format_text.h"
#include "app/common/package_problem.h"
#include "app/common/port_list_merge.h"
#include "app/common/port_numbers.h"
#include "app/runs/load_digest.h"
#include "app/runs/message_queue.h"
#include "app/runs/port_worker.h"
#include "app/runs/records_delivery.h"
#include "app/runs/run_records.h"
#include "app/runs/run_report.h"
#include "app/runs/station_runner.h"
#include "engine/dl_operator.h"
#include "lang/string_ids.h"
#include "log/log.h"
#include "package/package_errors.h"
#include "platform/local_time.h"
#include "platform/machine_port_lock.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"
#include "platform/record_file.h"
#include "platform/sys_error.h"

namespace {

using Row = BenchWindowView::Row;

bool SameRow(const Row& a, const Row& b) {
    return a.state == b.state && a.stateText == b.stateText && a.showProgress == b.showProgress &&
           a.percent == b.percent && a.rate == b.rate && a.timeLeft == b.timeLeft && a.esn == b.esn &&
           a.done == b.done && a.failed == b.failed && a.handset == b.handset && a.outcome == b.outcome &&
           a.resultLine == b.resultLine && a.resultDetail == b.resultDetail;
}

// Who holds a port now, when another program does and the system names it ("" otherwise).
std::string HolderOf(const BenchWindowView::PortItem& item) {
    const auto holder = platform::MachinePortLock::HolderOf(platform::MachinePortLock::KeyOf(item.device, item.port));
    return holder ? holder->name + ", PID " + std::to_string(holder->pid) : std::string();
}

// "1", "60": a time in whole seconds, rounded up.
unsigned SecondsOf(std::chrono::milliseconds time) { return static_cast<unsigned>((time.count() + 999) / 1000); }

// A whole number of seconds from 1 to kBenchMaxSeconds, else nothing.
std::optional<unsigned> ParseSeconds(const std::string& text) {
    const size_t begin = text.find_first_not_of(' ');
    const size_t end = text.find_last_not_of(' ');
    if (begin == std::string::npos || end - begin > 4) return std::nullopt;
    unsigned value = 0;
    for (size_t i = begin; i <= end; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (value == 0 || value > kBenchMaxSeconds) return std::nullopt;
    return value;
}

// How often figures that change at every tick (rates, times left, handsets per hour) are redrawn.
constexpr std::chrono::seconds kFiguresEvery{1};

std::string ReportWords(int error) {
    return error == platform::kRecordNotAFile ? "not a regular file" : platform::SysErrorPhrase(error);
}

std::string ReportProblem(const std::string& path, int error, const TextLookup& text) {
    if (error == RunReport::kNotAReport) return FormatTexts(text(lang::IDS_BENCH_REPORT_NOT_OURS), {path});
    return FormatTexts(text(lang::IDS_BENCH_REPORT_FAILED), {path, ReportWords(error)});
}

void Add(BenchTotals& to, const BenchTotals& more) {
    to.handsets += more.handsets;
    to.done += more.done;
    to.unconfirmed += more.unconfirmed;
    to.failed += more.failed;
    to.stopped += more.stopped;
    to.seconds += more.seconds;
}

// Library texts do not change while a window lives: each is looked up once.
TextLookup Remembered(TextLookup lookup) {
    struct Known {
        std::mutex mutex;
        std::unordered_map<unsigned, std::string> texts;
    };
    auto known = std::make_shared<Known>();
    return [lookup = std::move(lookup), known](unsigned id) {
        std::lock_guard<std::mutex> lock(known->mutex);
        auto [text, added] = known->texts.try_emplace(id);
        if (added) text->second = lookup(id);
        return text->second;
    };
}

}  // namespace

// The station's view only notes which ports changed; the ticks draw them. A tick with nothing
// new (most of them) costs the window a look at the queue and no more.
struct BenchWindowPresenter::Impl : public StationView, public IMessageSink {
    // One listed port and what its row shows.
    struct PortRow {
        BenchWindowView::PortItem item;
        Row shown;
        bool drawn = false;
        BenchTotals earlier;                    // its handsets of earlier Starts
        std::string lastLine, lastDetail;       // the last handset's result, kept after it is taken off
        std::string rowLost;                    // its last handset's report row was not written: why
        FigureThrottle figures{kFiguresEvery};  // its rate and time left
        BenchWindowView::Tile tile;             // as last drawn
        bool tileDrawn = false;
        FigureThrottle tileFigures{kFiguresEvery};  // its bar and figures
        std::string holder;                         // another program holding the port, outside a run
        Row beforeHeld;                             // what the row showed before it was held
        unsigned heardDone = 0, heardFailed = 0;    // the counts its sounds have told, this Start
    };

    Impl(BenchWindowView& view, TextLookup text, BenchWindowOptions options)
        : view(view), text(Remembered(std::move(text))), options(std::move(options)) {
        programFile.Open(this->options.programPath.empty() ? platform::ProgramPath() : this->options.programPath);
        settings = LoadBenchSettings(this->options.settingsFile);
        confirmTimeout =
            settings.confirmSeconds ? std::chrono::seconds(*settings.confirmSeconds) : this->options.confirmTimeout;
        goneAfter = settings.removalSeconds ? std::chrono::seconds(*settings.removalSeconds) : this->options.goneAfter;
        station = settings.station;
        silent = settings.silent;
    }

    // StationView: what changed is drawn at the next tick.
    void CheckProgress(unsigned) override {}
    void Refused(const PortRun&) override {}  // its port's phase changes next
    void Status(const PortRun& run, uint32_t) override { Changed(run); }
    void Progress(const PortRun& run, unsigned) override { Changed(run); }
    void Waiting(const PortRun& run, const std::string&) override { Changed(run); }
    void Stopping(const PortRun& run) override {
        Changed(run);
        // The runner waits for the handsets next (up to a block each): the rows say so now.
        if (!showStopping) return;
        Draw();
        view.ShowNow();
    }
    void Stopped(const PortRun& run) override { Changed(run); }
    void BeginStation(const std::vector<std::unique_ptr<StationPort>>& ports) override {
        changed.assign(ports.size(), true);
    }
    void PhaseChanged(const StationPort& port) override {
        if (port.source >= 1 && port.source <= changed.size()) changed[port.source - 1] = true;
    }
    void FinishStation(const std::vector<std::unique_ptr<StationPort>>&, const BenchTotals&) override {}
    // A handset's record: its report row written, or lost (told on its row and under the table at
    // once, with the system's words for why).
    void Recorded(const PortRun& run) override { NoteRow(run.Port(), {}); }
    void RecordLost(const PortRun& run, int error) override {
        lostError = error;
        lostLine = FormatTexts(text(lang::IDS_BENCH_ROW_LOST), {run.Port(), reportPath, ReportWords(error)});
        LogWritePort(LOG_ER, run.Port().c_str(), "Bench", "%s", lostLine.c_str());
        NoteRow(run.Port(), lostLine);
    }
    void StoreLost(const PortRun& run, const std::string& line) override {
        lostLine = line;
        LogWritePort(LOG_ER, run.Port().c_str(), "Bench", "%s", line.c_str());
        NoteRow(run.Port(), line);
    }
    // Opens the record store at the first Start (told, and false, when it cannot be).
    bool OpenRecords();
    void NoteRow(const std::string& port, const std::string& lost) {
        for (PortRow& row : rows) {
            if (row.item.port == port) row.rowLost = lost;
        }
        if (!runner) return;
        const auto& ports = runner->Ports();
        for (size_t i = 0; i < ports.size() && i < changed.size(); ++i) {
            if (ports[i]->Port() == port) changed[i] = true;
        }
    }

    // The port whose handset this is has something new to show.
    void Changed(const PortRun& run) {
        if (!runner) return;
        const auto& ports = runner->Ports();
        for (size_t i = 0; i < ports.size() && i < changed.size(); ++i) {
            if (ports[i]->handset.get() == &run) changed[i] = true;
        }
    }

    // The operators' fixed messages (a thread that cannot start or stop), from their threads.
    void Show(const char* message) override {
        std::lock_guard<std::mutex> lock(shownMutex);
        shown.emplace_back(message);
    }

    // Reads the port list again: the rows of ports still listed keep what they show, new ports
    // come in unchecked, all in port number order. False (and nothing drawn) when the list is
    // the same.
    bool ListPorts();
    // Shows who holds each port outside a run, as soon as the list is read.
    void ShowHolders();
    // The rows as listed, each drawn again.
    void ShowPorts();
    void Enable();
    // Writes the settings as they stand; the first failure is told.
    void Remember();
    void PlaySounds();
    bool StartRun();
    // Ends the run (its handsets in flight stopped), keeps its counts and lets the ports go.
    void EndRun();
    // Draws the rows that changed (every row: everything) and the totals.
    void Draw(bool everything = false);
    void DrawRow(size_t row, Row content);
    void TellShown();

    BenchWindowView& view;
    TextLookup text;
    BenchWindowOptions options;
    platform::ReadOnlyFile programFile;
    CDLOperator checker;
    CDLParameter package;
    std::atomic<int32_t> checkResult{0};

    std::vector<PortRow> rows;
    BenchSettings settings;  // as remembered
    bool settingsLost = false;
    bool station = false;
    bool silent = false;
    std::chrono::milliseconds confirmTimeout, goneAfter;
    std::string reportPath;
    std::string reportRefused;  // a report file typed and refused, still in the field
    std::string since;          // the time of the latest Start, "" before one
    bool asking = false;        // a question shows
    bool inTick = false;
    bool showStopping = false;  // a stop the user asked for: its rows are drawn as it is told
    BenchTotals earlier;        // every port's handsets of earlier Starts, and their time

    // While the bench runs.
    MessageQueue queue;
    // No warnings to print: the window shows what the runs tell it.
    RunContext context{queue, text, nullptr};
    std::unique_ptr<RunReport> report;
    std::unique_ptr<RecordStore> records;       // the record store, once a Start opened it
    std::unique_ptr<RunRecords> recordsOfRuns;  // the runs' way into it
    std::unique_ptr<RecordDelivery> delivery;   // to the broker the settings name; ends before the store
    std::unique_ptr<StationRunner> runner;
    std::vector<std::unique_ptr<PortClaim>> claims;  // the ports' guards, as long as the runner
    std::vector<size_t> rowOfPort;                   // the row of each of the runner's ports
    std::vector<bool> changed;                       // per runner port: something new to draw
    std::chrono::steady_clock::time_point listedAt;  // when the port list was last read
    int lostError = 0;                               // the system's error of the last report row lost in this run
    std::string lostLine;                            // and its line, under the table with the totals
    std::string totalsShown;
    FigureThrottle totalsThrottle{kFiguresEvery};  // the totals line's handsets per hour
    unsigned totalsDone = 0, totalsFailed = 0;     // the counts it showed

    std::mutex shownMutex;
    std::vector<std::string> shown;
};

bool BenchWindowPresenter::Impl::ListPorts() {
    const bool first = listedAt == std::chrono::steady_clock::time_point{};
    listedAt = std::chrono::steady_clock::now();
    std::vector<ListedPort> listed;
    for (const SerialCommValue& value : ReadSerialCommKey(options.portSources)) {
        if (IsExcludedSerialDevice(value.device)) continue;
        if (const auto name = NormalisePortName(value.port)) listed.push_back({*name, value.device});
    }
    std::vector<ListedPort> shown;
    for (const PortRow& row : rows) shown.push_back({row.item.port, row.item.device});
    // A port gone from the list keeps its row while the bench runs on it, or while the row has
    // counts to show (a handset's own USB port goes with the handset).
    const std::vector<MergedRow> merged = MergePortList(listed, shown, [this](size_t row) {
        const bool inRun = std::find(rowOfPort.begin(), rowOfPort.end(), row) != rowOfPort.end();
        return inRun || rows[row].earlier.done + rows[row].earlier.failed > 0;
    });
    if (SameRows(merged, shown) && !first) return false;
    std::vector<PortRow> next;
    std::map<size_t, size_t> position;  // a row before -> its row now
    Row idle;
    idle.stateText = text(lang::IDS_BENCH_IDLE);
    for (const MergedRow& merge : merged) {
        PortRow row;
        // At opening the remembered ports are checked; those plugged in later come unchecked.
        const bool remembered = first && std::find(settings.checkedPorts.begin(), settings.checkedPorts.end(),
                                                   merge.port.port) != settings.checkedPorts.end();
        row.item = {merge.port.port, merge.port.device, remembered};
        row.shown = idle;
        if (merge.before) {
            row = rows[*merge.before];
            row.item.device = merge.port.device;
            position[*merge.before] = next.size();
        }
        next.push_back(std::move(row));
    }
    for (size_t& row : rowOfPort) row = position.at(row);
    rows = std::move(next);
    ShowPorts();
    return true;
}

void BenchWindowPresenter::Impl::ShowPorts() {
    std::vector<BenchWindowView::PortItem> items;
    for (const PortRow& row : rows) items.push_back(row.item);
    view.SetPorts(items);
    for (size_t row = 0; row < rows.size(); ++row) {
        rows[row].drawn = rows[row].tileDrawn = false;
        DrawRow(row, rows[row].shown);
    }
}

void BenchWindowPresenter::Impl::ShowHolders() {
    for (size_t index = 0; index < rows.size(); ++index) {
        PortRow& row = rows[index];
        // A port of this run shows the run's own story.
        if (std::find(rowOfPort.begin(), rowOfPort.end(), index) != rowOfPort.end()) continue;
        const std::string holder = HolderOf(row.item);
        if (holder == row.holder) continue;
        const bool wasHeld = !row.holder.empty();
        row.holder = holder;
        if (holder.empty()) {
            if (!wasHeld) continue;
            Row back = row.beforeHeld;
            if (back.state == Row::State::kHeld) {  // refused at Start for the same holder
                back.state = Row::State::kIdle;
                back.stateText = text(lang::IDS_BENCH_IDLE);
                back.resultLine = back.resultDetail = "";
            }
            DrawRow(index, std::move(back));
            continue;
        }
        if (!wasHeld) row.beforeHeld = row.shown;
        // Refused at Start for this holder: the refusal says it already, with what to do.
        if (!wasHeld && row.shown.state == Row::State::kHeld) continue;
        Row held = row.beforeHeld;
        held.state = Row::State::kHeld;
        held.stateText = text(lang::IDS_BENCH_HELD);
        held.showProgress = false;
        held.resultLine = held.resultDetail = HolderText(holder, text);
        DrawRow(index, std::move(held));
    }
}

void BenchWindowPresenter::Impl::Remember() {
    BenchSettings now;
    now.reportPath = reportPath;
    for (const PortRow& row : rows) {
        if (row.item.checked) now.checkedPorts.push_back(row.item.port);
    }
    now.station = station;
    now.silent = silent;
    now.confirmSeconds = SecondsOf(confirmTimeout);
    now.removalSeconds = SecondsOf(goneAfter);
    if (options.settingsFile.empty() || now == settings) return;
    if (const std::string why = SaveBenchSettings(options.settingsFile, now); !why.empty()) {
        const std::string line = FormatTexts(text(lang::IDS_BENCH_SETTINGS_LOST), {options.settingsFile, why});
        LogWrite(LOG_ER, "%s", line.c_str());
        if (!settingsLost) view.Inform(line);
        settingsLost = true;
        return;
    }
    settings = std::move(now);
}

void BenchWindowPresenter::Impl::PlaySounds() {
    if (!runner) return;
    bool done = false, failed = false;
    const auto& ports = runner->Ports();
    for (size_t i = 0; i < ports.size(); ++i) {
        PortRow& row = rows[rowOfPort[i]];
        const unsigned failures = ports[i]->failed + ports[i]->stopped;
        done = done || ports[i]->done > row.heardDone;
        failed = failed || failures > row.heardFailed;
        row.heardDone = ports[i]->done;
        row.heardFailed = failures;
    }
    // One of each a tick, however many ports ended in it: a chord of the same tone says no more.
    if (silent) return;
    if (done) view.Play(BenchWindowView::Sound::kDone);
    if (failed) view.Play(BenchWindowView::Sound::kFailed);
}

void BenchWindowPresenter::Impl::Enable() {
    const bool running = runner != nullptr;
    BenchWindowView::ControlStates states;
    states.portChecks = !running;
    states.start = !running && !rows.empty();
    states.stop = running;
    states.station = !running;
    states.report = !running;
    states.times = !running;
    view.EnableControls(states);
}

bool BenchWindowPresenter::Impl::OpenRecords() {
    if (options.recordsPath.empty() || recordsOfRuns) return true;
    StoreFailure failure;
    records = OpenRunStore(options.recordsPath, true, failure);
    if (!records) {
        view.Inform(StoreProblem(failure, options.recordsPath, text));
        return false;
    }
    const std::string program = options.programPath.empty() ? platform::ProgramPath() : options.programPath;
    recordsOfRuns = std::make_unique<RunRecords>(
        *records, ThisStation(package.GetVersion(), LoadSha256(program, package.GetLoadSize())));
    context.records = recordsOfRuns.get();
    std::string brokerError;
    delivery = StartRecordsDelivery(*records, *recordsOfRuns, brokerError);
    // The records are kept whatever the broker: a bad broker setting is told, the runs go on.
    if (!brokerError.empty()) view.Inform(brokerError);
    return true;
}

bool BenchWindowPresenter::Impl::StartRun() {
    std::vector<size_t> checked;
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].item.checked) checked.push_back(row);
    }
    if (checked.empty()) {
        view.Inform(text(lang::IDS_BENCH_NONE_CHECKED));
        return false;
    }
    if (!reportRefused.empty()) {
        view.Inform(FormatText(text(lang::IDS_BENCH_REPORT_KEPT), reportRefused));
        return false;
    }
    if (!OpenRecords()) return false;
    RunSettings settings;
    settings.station = station;
    settings.confirmTimeout = confirmTimeout;
    settings.goneAfter = goneAfter;
    if (!reportPath.empty()) {
        report = std::make_unique<RunReport>(reportPath, package.GetVersion(), text);
        if (const int error = report->Check(); error != 0) {
            view.Inform(ReportProblem(reportPath, error, text));
            report.reset();
            return false;
        }
        report->TellLeftOut(nullptr);  // a window has no error stream: the log tells it
    }
    lostError = 0;
    lostLine.clear();
    // Each Start counts from zero: the station line and the tiles tell this station, since now.
    earlier = {};
    totalsDone = totalsFailed = 0;
    for (PortRow& row : rows) {
        row.rowLost.clear();
        row.earlier = {};
        row.heardDone = row.heardFailed = 0;
        row.holder.clear();
    }
    const platform::LocalTime now = platform::Now();
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d", now.hour, now.minute);
    since = clock;
    std::vector<std::unique_ptr<PortClaim>> claims;
    rowOfPort.clear();
    for (const size_t row : checked) {
        PortClaim& claim = *claims.emplace_back(std::make_unique<PortClaim>(rows[row].item.port));
        if (!claim.Resolve()) {
            claim.RefuseAsAbsent(rows[row].item.port + " is not in the port list.");
        } else {
            claim.Guard();
        }
        rowOfPort.push_back(row);
    }
    runner = std::make_unique<StationRunner>(settings, context, *this, report.get(), package.GetLoadSize(),
                                             package.GetVersion());
    const auto lineFor = options.lineFor;
    const std::string programPath = options.programPath;
    runner->Start(
        claims,
        [this, lineFor, programPath](const std::string& port,
                                     platform::NotifyTarget& target) -> std::unique_ptr<PortWorker> {
            return std::make_unique<OperatorWorker>(port, package, target, *this, 0,
                                                    lineFor ? lineFor(port) : platform::MakeSystemSerialLine(),
                                                    programPath);
        },
        lineFor ? ProbeLineMaker(lineFor) : ProbeLineMaker());
    this->claims = std::move(claims);
    LogWrite(LOG_ER, "Bench started on %u port(s).", static_cast<unsigned>(checked.size()));
    return true;
}

void BenchWindowPresenter::Impl::EndRun() {
    showStopping = true;
    runner->Finish();
    showStopping = false;
    Draw(true);
    const bool recordLost = runner->End().recordLost;
    const auto& ports = runner->Ports();
    for (size_t i = 0; i < ports.size(); ++i) {
        BenchTotals& counts = rows[rowOfPort[i]].earlier;
        counts.done += ports[i]->done;
        counts.failed += ports[i]->failed + ports[i]->stopped;  // as its row counted them
    }
    Add(earlier, runner->Totals());
    LogWrite(LOG_ER, "Bench ended.");
    runner.reset();
    changed.clear();
    rowOfPort.clear();
    claims.clear();  // the ports are free for other runs again
    // The error of the row that was lost: the file may well take a check now (a header-only write).
    const int reportError = lostError;
    report.reset();
    Draw();  // the totals as they ended
    ShowHolders();
    Enable();
    if (recordLost) view.Inform(ReportProblem(reportPath, reportError, text));
}

void BenchWindowPresenter::Impl::DrawRow(size_t row, Row content) {
    PortRow& port = rows[row];
    if (!port.drawn || !SameRow(port.shown, content)) {
        port.shown = std::move(content);
        port.drawn = true;
        view.UpdateRow(row, port.shown);
    }
    BenchWindowView::Tile tile = TileOf(port.item.port, port.shown, text);
    if (SameTile(tile, port.tile) && port.tileDrawn) return;
    // A tile is a large picture: one whose bar and figures alone moved waits for its second (the
    // flashing port's row comes back every second), anything else is drawn at once.
    const bool figuresOnly = port.tileDrawn && OnlyFiguresDiffer(tile, port.tile);
    if (!port.tileFigures.Due(std::chrono::steady_clock::now(), !figuresOnly)) return;
    port.tile = std::move(tile);
    port.tileDrawn = true;
    view.UpdateTile(row, port.tile);
}

void BenchWindowPresenter::Impl::Draw(bool everything) {
    const auto now = std::chrono::steady_clock::now();
    BenchTotals totals = earlier;
    if (runner) {
        const auto& ports = runner->Ports();
        for (size_t i = 0; i < ports.size(); ++i) {
            const StationPort& port = *ports[i];
            PortRow& row = rows[rowOfPort[i]];
            // Unchanged, apart from the figures of a flashing port, which wait their second.
            const bool figuresDue = port.phase == StationPort::Phase::kFlashing && row.figures.Elapsed(now);
            if (!everything && i < changed.size() && !changed[i] && !figuresDue) continue;
            if (i < changed.size()) changed[i] = false;
            if (port.handset && port.handset->Ended())
                DescribeResult(*port.handset, text, row.lastLine, row.lastDetail);
            Row content = BenchRowOf(port, row.earlier, text);
            if (content.resultLine.empty()) {
                content.resultLine = row.lastLine;
                content.resultDetail = row.lastDetail;
            }
            if (!row.rowLost.empty()) {
                content.resultDetail =
                    content.resultDetail.empty() ? row.rowLost : content.resultDetail + "\n" + row.rowLost;
                content.resultLine = row.rowLost;
            }
            // The rate and the time left move a little at every tick: redrawn once a second.
            const bool stillFlashing =
                content.state == Row::State::kFlashing && row.drawn && row.shown.state == content.state;
            if (!row.figures.Due(now, !stillFlashing)) {
                content.rate = row.shown.rate;
                content.timeLeft = row.shown.timeLeft;
            }
            DrawRow(rowOfPort[i], std::move(content));
        }
        Add(totals, runner->Totals());
    }
    // So do the handsets per hour: the line changes at once only when a count does.
    std::string line = BenchTotalsLine(totals, text);
    if (!since.empty()) line += "   " + FormatText(text(lang::IDS_BENCH_SINCE), since);
    if (!lostLine.empty()) line += "   " + lostLine;
    if (delivery) line += "   " + FormatText(text(lang::IDS_RECORDS_WAITING), std::to_string(delivery->WaitingCount()));
    const bool counts = totals.done != totalsDone || totals.failed + totals.stopped != totalsFailed ||
                        totalsShown.find(lostLine) == std::string::npos;
    if (!totalsThrottle.Due(now, everything || counts || !runner)) return;
    if (line == totalsShown) return;
    totalsShown = std::move(line);
    totalsDone = totals.done;
    totalsFailed = totals.failed + totals.stopped;
    view.SetTotals(totalsShown);
}

void BenchWindowPresenter::Impl::TellShown() {
    std::vector<std::string> messages;
    {
        std::lock_guard<std::mutex> lock(shownMutex);
        messages.swap(shown);
    }
    for (const std::string& message : messages) view.Inform(message);
}

BenchWindowPresenter::BenchWindowPresenter(BenchWindowView& view, TextLookup text, BenchWindowOptions options)
    : m_impl(std::make_unique<Impl>(view, std::move(text), std::move(options))) {}

BenchWindowPresenter::~BenchWindowPresenter() {
    // The view may be half gone: the run ends without drawing.
    if (m_impl->runner) m_impl->runner->Finish();
}

std::string BenchWindowPresenter::BeginPackageCheck() {
    LogWrite(LOG_ER, "Star CRC Checking.");
    return m_impl->text(lang::IDS_CHECK_PROGRESS);
}

bool BenchWindowPresenter::CheckPackage(platform::NotifyTarget* progressTarget) {
    Impl& impl = *m_impl;
    impl.checker.SetNotifyTarget(progressTarget);
    impl.checkResult = impl.programFile.IsOpen() ? impl.checker.SetLoad(&impl.programFile) : PKGERR_PARAM_READ;
    impl.checker.SetNotifyTarget(nullptr);
    if (impl.checkResult.load() < 0) return false;
    impl.package = impl.checker.Parameters();
    return true;
}

bool BenchWindowPresenter::Open(bool checkPassed) {
    Impl& impl = *m_impl;
    if (!checkPassed) {
        impl.view.Inform(PackageCheckMessage(CarriesNoPackage(impl.checkResult.load(), impl.programFile),
                                             impl.programFile.Path(), impl.text));
        return false;
    }
    const TextLookup& text = impl.text;
    BenchWindowView::Captions captions;
    captions.title = FormatText(text(lang::IDS_BENCH_TITLE), lang::kModelCode);
    captions.start = text(lang::IDS_START);
    captions.stop = text(lang::IDS_STOP);
    captions.station = text(lang::IDS_BENCH_STATION);
    captions.report = text(lang::IDS_BENCH_REPORT);
    captions.browse = text(lang::IDS_BENCH_BROWSE);
    captions.port = text(lang::IDS_BENCH_COL_PORT);
    captions.device = text(lang::IDS_BENCH_COL_DEVICE);
    captions.state = text(lang::IDS_BENCH_COL_STATE);
    captions.progress = text(lang::IDS_BENCH_COL_PROGRESS);
    captions.rate = text(lang::IDS_BENCH_COL_RATE);
    captions.timeLeft = text(lang::IDS_BENCH_COL_LEFT);
    captions.esn = text(lang::IDS_ESN_COLUMN);
    captions.done = text(lang::IDS_BENCH_COL_DONE);
    captions.failed = text(lang::IDS_BENCH_COL_FAILED);
    captions.result = text(lang::IDS_BENCH_COL_RESULT);
    captions.handset = text(lang::IDS_BENCH_COL_HANDSET);
    captions.checkAll = text(lang::IDS_BENCH_CHECK_ALL);
    captions.silent = text(lang::IDS_BENCH_SILENT);
    captions.confirmTime = text(lang::IDS_BENCH_CONFIRM_TIME);
    captions.removalTime = text(lang::IDS_BENCH_REMOVAL_TIME);
    captions.tableView = text(lang::IDS_BENCH_TABLE_VIEW);
    captions.details = text(lang::IDS_BENCH_DETAILS);
    impl.view.SetCaptions(captions);
    impl.ListPorts();
    impl.ShowHolders();
    impl.view.SetStation(impl.station);
    impl.view.SetSilent(impl.silent);
    impl.view.SetTimes(SecondsOf(impl.confirmTimeout), SecondsOf(impl.goneAfter));
    // The remembered report file is checked as one chosen now (it may have become a folder).
    impl.view.SetReportPath(impl.settings.reportPath);
    if (!impl.settings.reportPath.empty()) ReportChosen(impl.settings.reportPath);
    impl.Draw(true);
    impl.Enable();
    return true;
}

void BenchWindowPresenter::PortChecked(size_t row, bool checked) {
    if (row >= m_impl->rows.size() || m_impl->runner) return;
    m_impl->rows[row].item.checked = checked;
    m_impl->Remember();
}

void BenchWindowPresenter::CheckAll() {
    Impl& impl = *m_impl;
    if (impl.runner) return;
    for (auto& row : impl.rows) row.item.checked = true;
    impl.ShowPorts();
    impl.Enable();
    impl.Remember();
}

void BenchWindowPresenter::StationToggled(bool on) {
    if (m_impl->runner) return;
    m_impl->station = on;
    m_impl->Remember();
}

void BenchWindowPresenter::SilentToggled(bool on) {
    // Silenced at once, a run or not: the technician reaches for it while it sounds.
    m_impl->silent = on;
    m_impl->Remember();
}

namespace {

bool TakeSeconds(const std::string& typed, std::chrono::milliseconds& time, BenchWindowView& view,
                 const TextLookup& text) {
    const auto seconds = ParseSeconds(typed);
    if (!seconds) {
        view.Inform(FormatText(text(lang::IDS_BENCH_TIME_BAD), std::to_string(kBenchMaxSeconds)));
        return false;
    }
    time = std::chrono::seconds(*seconds);
    return true;
}

}  // namespace

void BenchWindowPresenter::ConfirmTimeChosen(const std::string& seconds) {
    Impl& impl = *m_impl;
    if (!impl.runner && TakeSeconds(seconds, impl.confirmTimeout, impl.view, impl.text)) impl.Remember();
    impl.view.SetTimes(SecondsOf(impl.confirmTimeout), SecondsOf(impl.goneAfter));
}

void BenchWindowPresenter::RemovalTimeChosen(const std::string& seconds) {
    Impl& impl = *m_impl;
    if (!impl.runner && TakeSeconds(seconds, impl.goneAfter, impl.view, impl.text)) impl.Remember();
    impl.view.SetTimes(SecondsOf(impl.confirmTimeout), SecondsOf(impl.goneAfter));
}

void BenchWindowPresenter::StartOrStop() {
    if (m_impl->runner) {
        Stop();
    } else {
        Start();
    }
}

void BenchWindowPresenter::ReadPortsAgain() {
    Impl& impl = *m_impl;
    if (impl.asking) return;
    const bool changed = impl.ListPorts();
    impl.ShowHolders();
    if (changed) impl.Enable();
}

void BenchWindowPresenter::ReportChosen(const std::string& path) {
    Impl& impl = *m_impl;
    if (impl.runner) return;
    if (!path.empty()) {
        const RunReport probe(path, impl.package.GetVersion(), impl.text);
        if (const int error = probe.Check(); error != 0) {
            // What was typed stays in the field, and no earlier file stands in for it.
            impl.reportRefused = path;
            impl.view.Inform(ReportProblem(path, error, impl.text));
            return;
        }
    }
    impl.reportRefused.clear();
    impl.reportPath = path;
    impl.view.SetReportPath(path);
    impl.Remember();
}

void BenchWindowPresenter::Start() {
    Impl& impl = *m_impl;
    if (impl.runner || impl.asking || !impl.StartRun()) return;
    impl.Enable();
    impl.Draw(true);
    // Ports another run holds (or that could not be claimed) are told at once, by name.
    std::string refused;
    for (const auto& claim : impl.claims) {
        if (claim->Claimed()) continue;
        if (!refused.empty()) refused += '\n';
        refused += RefusalText(*claim, impl.text);
    }
    if (!refused.empty()) impl.view.Inform(refused);
}

void BenchWindowPresenter::Stop() {
    Impl& impl = *m_impl;
    if (!impl.runner || impl.asking) return;
    impl.asking = true;
    const bool yes = impl.view.AskYesNo(impl.text(lang::IDS_STOP_QUESTION));
    impl.asking = false;
    // The bench may have ended by itself while the question showed.
    if (yes && impl.runner) impl.EndRun();
}

void BenchWindowPresenter::Tick() {
    Impl& impl = *m_impl;
    // A message box shown from here runs the window's timer again: that tick waits.
    if (impl.inTick) return;
    impl.inTick = true;
    if (impl.runner) {
        if (impl.runner->Step(std::chrono::milliseconds(0))) {
            impl.Draw();
            impl.PlaySounds();
        } else {
            impl.PlaySounds();
            impl.EndRun();
        }
    } else if (impl.delivery) {
        // Between runs the records still go out (or wait): the totals keep their count current.
        impl.Draw();
    }
    // Ports plugged in (or taken away) while the window is open.
    if (std::chrono::steady_clock::now() - impl.listedAt >= impl.options.listEvery) ReadPortsAgain();
    impl.TellShown();
    impl.inTick = false;
}

bool BenchWindowPresenter::MayClose() {
    Impl& impl = *m_impl;
    if (impl.asking) return false;
    if (!impl.runner) return true;
    impl.asking = true;
    const bool yes = impl.view.AskYesNo(impl.text(lang::IDS_CLOSE_QUESTION));
    impl.asking = false;
    if (!yes) return false;
    if (impl.runner) impl.EndRun();
    return true;
}

bool BenchWindowPresenter::Running() const { return m_impl->runner != nullptr; }
