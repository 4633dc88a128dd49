// SPDX-License-Identifier: Apache-2.0
#include "app/common/bench_window_presenter.h"

#include <algorithm>
#include <mutex>

#include "app/cli/cli_arguments.h"
#include "app/cli/cli_session.h"
#include "app/cli/exit_status.h"
#include "app/cli/message_queue.h"
#include "app/cli/port_worker.h"
#include "app/cli/run_report.h"
#include "app/cli/station_runner.h"
#include "app/common/bench_rows.h"
#include "app/common/format_text.h"
#include "app/common/package_problem.h"
#include "engine/dl_operator.h"
#include "lang/string_ids.h"
#include "log/log.h"
#include "package/package_errors.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"
#include "platform/record_file.h"
#include "platform/sys_error.h"

namespace {

using Row = BenchWindowView::Row;

bool SameRow(const Row& a, const Row& b) {
    return a.state == b.state && a.stateText == b.stateText && a.showProgress == b.showProgress &&
           a.percent == b.percent && a.rate == b.rate && a.timeLeft == b.timeLeft && a.done == b.done &&
           a.failed == b.failed && a.resultLine == b.resultLine && a.resultDetail == b.resultDetail;
}

// How often figures that change at every tick (rates, times left, handsets per hour) are redrawn.
constexpr std::chrono::seconds kFiguresEvery{1};

std::chrono::duration<double> Seconds(std::chrono::milliseconds span) { return span; }

std::string ReportProblem(const std::string& path, int error, const TextLookup& text) {
    const std::string words =
        error == platform::kRecordNotAFile ? "not a regular file" : platform::SysErrorPhrase(error);
    return FormatTexts(text(lang::IDS_BENCH_REPORT_FAILED), {path, words});
}

void Add(BenchTotals& to, const BenchTotals& more) {
    to.handsets += more.handsets;
    to.done += more.done;
    to.unconfirmed += more.unconfirmed;
    to.failed += more.failed;
    to.stopped += more.stopped;
    to.seconds += more.seconds;
}

}  // namespace

// The station's view is only looked at on the ticks: every change shows at the next one.
struct BenchWindowPresenter::Impl : public StationView, public IMessageSink {
    // One listed port and what its row shows.
    struct PortRow {
        BenchWindowView::PortItem item;
        Row shown;
        bool drawn = false;
        BenchTotals earlier;                              // its handsets of earlier Starts
        std::string lastLine, lastDetail;                 // the last handset's result, kept after it is taken off
        std::chrono::steady_clock::time_point figuresAt;  // when its rate and time left were drawn
    };

    Impl(BenchWindowView& view, TextLookup text, BenchWindowOptions options)
        : view(view), text(std::move(text)), options(std::move(options)) {
        programFile.Open(this->options.programPath.empty() ? platform::ProgramPath() : this->options.programPath);
    }

    // StationView: nothing is drawn between ticks.
    void CheckProgress(unsigned) override {}
    void Refused(const PortRun&) override {}
    void Status(const PortRun&, uint32_t) override {}
    void Progress(const PortRun&, unsigned) override {}
    void Waiting(const PortRun&, const std::string&) override {}
    void Stopped(const PortRun&) override {}
    void BeginStation(const std::vector<std::unique_ptr<StationPort>>&) override {}
    void PhaseChanged(const StationPort&) override {}
    void FinishStation(const std::vector<std::unique_ptr<StationPort>>&, const BenchTotals&) override {}

    // The operators' fixed messages (a thread that cannot start or stop), from their threads.
    void Show(const char* message) override {
        std::lock_guard<std::mutex> lock(shownMutex);
        shown.emplace_back(message);
    }

    void ListPorts();
    void Enable();
    bool StartRun();
    // Ends the run (its handsets in flight stopped), keeps its counts and lets the ports go.
    void EndRun();
    void Draw();
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
    bool station = false;
    std::string reportPath;
    bool asking = false;  // a question shows
    bool inTick = false;
    BenchTotals earlier;  // every port's handsets of earlier Starts, and their time

    // While the bench runs.
    CliArguments args;
    MessageQueue queue;
    std::unique_ptr<CliSession> session;
    std::unique_ptr<RunReport> report;
    std::unique_ptr<StationRunner> runner;
    std::vector<std::unique_ptr<PortClaim>> claims;  // the ports' guards, as long as the runner
    std::vector<size_t> rowOfPort;                   // the row of each of the runner's ports
    std::string totalsShown;
    std::chrono::steady_clock::time_point totalsAt;  // when the totals line was drawn
    unsigned totalsDone = 0, totalsFailed = 0;       // the counts it showed

    std::mutex shownMutex;
    std::vector<std::string> shown;
};

void BenchWindowPresenter::Impl::ListPorts() {
    std::vector<std::pair<int32_t, BenchWindowView::PortItem>> found;
    for (const SerialCommValue& value : ReadSerialCommKey(options.portSources)) {
        if (IsExcludedSerialDevice(value.device)) continue;
        const auto name = NormalisePortName(value.port);
        if (!name) continue;
        found.push_back({PortNumberOf(name->c_str()), {*name, value.device, false}});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    rows.clear();
    std::vector<BenchWindowView::PortItem> items;
    for (const auto& [number, item] : found) {
        rows.push_back(PortRow{item, {}, false, {}, {}, {}, {}});
        items.push_back(item);
    }
    view.SetPorts(items);
    Row idle;
    idle.stateText = text(lang::IDS_BENCH_IDLE);
    for (size_t row = 0; row < rows.size(); ++row) DrawRow(row, idle);
}

void BenchWindowPresenter::Impl::Enable() {
    const bool running = runner != nullptr;
    BenchWindowView::ControlStates states;
    states.portChecks = !running;
    states.start = !running && !rows.empty();
    states.stop = running;
    states.station = !running;
    states.report = !running;
    view.EnableControls(states);
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
    args = CliArguments{};
    args.station = station;
    args.confirmTimeoutSeconds = Seconds(options.confirmTimeout).count();
    args.goneAfterSeconds = Seconds(options.goneAfter).count();
    if (!reportPath.empty()) {
        args.reportFile = reportPath;
        report = std::make_unique<RunReport>(reportPath, package.GetVersion(), text);
        if (const int error = report->Check(); error != 0) {
            view.Inform(ReportProblem(reportPath, error, text));
            report.reset();
            return false;
        }
    }
    // No output streams: the window shows everything the session would print.
    session = std::make_unique<CliSession>(args, nullptr, nullptr, queue);
    session->UseTexts(text);
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
    runner =
        std::make_unique<StationRunner>(*session, *this, report.get(), package.GetLoadSize(), package.GetVersion());
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
    runner->Finish();
    Draw();
    const bool recordLost = runner->ExitStatus() == kExitReport;
    const auto& ports = runner->Ports();
    for (size_t i = 0; i < ports.size(); ++i) {
        BenchTotals& counts = rows[rowOfPort[i]].earlier;
        counts.done += ports[i]->done;
        counts.failed += ports[i]->failed;
    }
    Add(earlier, runner->Totals());
    LogWrite(LOG_ER, "Bench ended.");
    runner.reset();
    claims.clear();  // the ports are free for other runs again
    session.reset();
    const int reportError = recordLost && report ? report->Check() : 0;
    report.reset();
    Draw();  // the totals as they ended
    Enable();
    if (recordLost) view.Inform(ReportProblem(reportPath, reportError, text));
}

void BenchWindowPresenter::Impl::DrawRow(size_t row, Row content) {
    PortRow& port = rows[row];
    if (port.drawn && SameRow(port.shown, content)) return;
    port.shown = std::move(content);
    port.drawn = true;
    view.UpdateRow(row, port.shown);
}

void BenchWindowPresenter::Impl::Draw() {
    const auto now = std::chrono::steady_clock::now();
    BenchTotals totals = earlier;
    if (runner) {
        const auto& ports = runner->Ports();
        for (size_t i = 0; i < ports.size(); ++i) {
            const StationPort& port = *ports[i];
            PortRow& row = rows[rowOfPort[i]];
            if (port.handset && port.handset->Ended())
                DescribeResult(*port.handset, text, row.lastLine, row.lastDetail);
            Row content = BenchRowOf(port, row.earlier, text);
            if (content.resultLine.empty()) {
                content.resultLine = row.lastLine;
                content.resultDetail = row.lastDetail;
            }
            // The rate and the time left move a little at every tick: redrawn once a second.
            if (content.state == Row::State::kFlashing && row.drawn && row.shown.state == content.state &&
                now - row.figuresAt < kFiguresEvery) {
                content.rate = row.shown.rate;
                content.timeLeft = row.shown.timeLeft;
            } else {
                row.figuresAt = now;
            }
            DrawRow(rowOfPort[i], std::move(content));
        }
        Add(totals, runner->Totals());
    }
    // So do the handsets per hour: the line changes at once only when a count does.
    std::string line = BenchTotalsLine(totals, text);
    const bool counts = totals.done != totalsDone || totals.failed != totalsFailed;
    if (line != totalsShown && (counts || !runner || now - totalsAt >= kFiguresEvery)) {
        totalsShown = std::move(line);
        totalsDone = totals.done;
        totalsFailed = totals.failed;
        totalsAt = now;
        view.SetTotals(totalsShown);
    }
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
        impl.view.Inform(PackageCheckMessage(CarriesNoPackage(impl.checkResult.load(), impl.programFile), impl.text));
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
    captions.done = text(lang::IDS_BENCH_COL_DONE);
    captions.failed = text(lang::IDS_BENCH_COL_FAILED);
    captions.result = text(lang::IDS_BENCH_COL_RESULT);
    impl.view.SetCaptions(captions);
    impl.ListPorts();
    impl.view.SetStation(impl.station);
    impl.view.SetReportPath(impl.reportPath);
    impl.Draw();
    impl.Enable();
    return true;
}

void BenchWindowPresenter::PortChecked(size_t row, bool checked) {
    if (row < m_impl->rows.size() && !m_impl->runner) m_impl->rows[row].item.checked = checked;
}

void BenchWindowPresenter::StationToggled(bool on) {
    if (!m_impl->runner) m_impl->station = on;
}

void BenchWindowPresenter::ReportChosen(const std::string& path) {
    Impl& impl = *m_impl;
    if (impl.runner) return;
    if (!path.empty()) {
        const RunReport probe(path, impl.package.GetVersion(), impl.text);
        if (const int error = probe.Check(); error != 0) {
            impl.view.SetReportPath(impl.reportPath);
            impl.view.Inform(ReportProblem(path, error, impl.text));
            return;
        }
    }
    impl.reportPath = path;
    impl.view.SetReportPath(path);
}

void BenchWindowPresenter::Start() {
    Impl& impl = *m_impl;
    if (impl.runner || impl.asking || !impl.StartRun()) return;
    impl.Enable();
    impl.Draw();
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
        } else {
            impl.EndRun();
        }
    }
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
