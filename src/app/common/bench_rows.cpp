// SPDX-License-Identifier: Apache-2.0
#include "app/common/bench_rows.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/common/format_text.h"
#include "app/common/text_columns.h"
#include "app/runs/station_text.h"
#include "app/runs/transfer_estimate.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "serial/handset_identity.h"

namespace {

using Row = BenchWindowView::Row;

// A run that ended without a final status line (stopped, or a worker that could not run).
std::string EndedWithoutStatus(const PortRun& run, const TextLookup& text) {
    return run.result == PortRun::Result::kStopped ? StoppedLine(text) : StatusLineBody(STATUS_ERR_PORT, text);
}

}  // namespace

std::string RefusalText(const PortClaim& claim, const TextLookup& text) {
    switch (claim.Result()) {
    case PortClaim::Outcome::kHeld:
        return claim.Holder().empty() ? FormatText(text(lang::IDS_BENCH_PORT_HELD_UNKNOWN), claim.Port())
                                      : FormatTexts(text(lang::IDS_BENCH_PORT_HELD), {claim.Port(), claim.Holder()});
    case PortClaim::Outcome::kAbsent: return FormatText(text(lang::IDS_PORT_ABSENT), claim.Port());
    default: return FormatTexts(text(lang::IDS_PORT_FAILED), {claim.Port(), claim.Why()});
    }
}

void DescribeResult(const PortRun& run, const TextLookup& text, std::string& line, std::string& detail) {
    if (run.result == PortRun::Result::kRefused) {
        line = detail = RefusalText(run.claim, text);
        return;
    }
    if (run.result == PortRun::Result::kDone && run.confirmed == false) {
        line = detail = text(lang::IDS_BENCH_UNCONFIRMED);
        return;
    }
    const bool hasStatus = run.lastStatus != 0 && StatusLineFor(run.lastStatus).final;
    const bool stopped = run.result == PortRun::Result::kStopped;
    const std::string body =
        hasStatus && !stopped ? StatusLineBody(run.lastStatus, run.failure, text) : EndedWithoutStatus(run, text);
    const std::string why =
        run.result == PortRun::Result::kFailed ? FailureDetailLine(run.lastStatus, run.failure, run.Port(), text) : "";
    line = JoinSentences(body, why);
    detail = why.empty() ? body : body + "\n" + why;
}

BenchWindowView::Row BenchRowOf(const StationPort& port, const BenchTotals& earlier, const TextLookup& text) {
    Row row;
    row.done = earlier.done + port.done;
    // A handset stopped in flight is not flashed: the technician counts it with the failed ones.
    row.failed = earlier.failed + port.failed + port.stopped;
    const PortRun* handset = port.handset.get();
    // The handset in hand counts from its start; it is counted in handsets once recorded.
    row.handset = port.handsets + (handset && !handset->recorded ? 1 : 0);
    if (handset && handset->Ended()) {
        DescribeResult(*handset, text, row.resultLine, row.resultDetail);
        row.outcome = handset->result == PortRun::Result::kDone ? Row::Outcome::kDone : Row::Outcome::kFailed;
    }
    if (handset && handset->esn) row.esn = EsnText(*handset->esn);
    switch (port.phase) {
    case StationPort::Phase::kWaiting: row.state = Row::State::kWaiting; break;
    case StationPort::Phase::kFlashing:
        row.state = Row::State::kFlashing;
        if (handset) {
            row.showProgress = true;
            row.percent = handset->percent;
            const double rate = handset->estimate.BytesPerSecond();
            if (rate > 0) row.rate = FormatRate(rate);
            if (!handset->Committing()) row.timeLeft = FormatTimeLeft(handset->estimate.SecondsLeft());
            // Until the handset answers, the port another program holds is the story.
            if (!handset->notice.empty() && !handset->hasProgress) row.resultLine = row.resultDetail = handset->notice;
            if (!handset->stopping.empty()) {
                row.state = Row::State::kStopping;
                row.resultLine = row.resultDetail = handset->stopping;
            }
        }
        break;
    case StationPort::Phase::kConfirming:
        row.state = Row::State::kConfirming;
        row.showProgress = true;
        row.percent = 100;
        if (port.confirmUntil > std::chrono::steady_clock::now()) {
            row.timeLeft = FormatTimeLeft(
                std::chrono::duration<double>(port.confirmUntil - std::chrono::steady_clock::now()).count());
        }
        break;
    case StationPort::Phase::kRemoval: row.state = Row::State::kRemove; break;
    case StationPort::Phase::kEnded:
        if (handset && handset->result == PortRun::Result::kStopped) {
            row.state = Row::State::kStopped;
        } else if (!handset || !handset->Ended()) {
            row.state = Row::State::kIdle;
        } else {
            row.state = handset->result == PortRun::Result::kDone ? Row::State::kDone : Row::State::kFailed;
        }
        break;
    case StationPort::Phase::kRefused:
        // Another run holds it: amber, not a failed handset.
        row.state = port.claim.Result() == PortClaim::Outcome::kHeld ? Row::State::kHeld : Row::State::kFailed;
        row.resultLine = row.resultDetail = RefusalText(port.claim, text);
        break;
    }
    // Why the port cannot be used for now, while it lasts.
    if (!port.notice.empty()) row.resultLine = row.resultDetail = port.notice;
    static constexpr unsigned kStateText[] = {
        lang::IDS_BENCH_IDLE,   lang::IDS_BENCH_WAITING, lang::IDS_BENCH_FLASHING, lang::IDS_BENCH_CONFIRMING,
        lang::IDS_BENCH_REMOVE, lang::IDS_BENCH_DONE,    lang::IDS_BENCH_FAILED};
    switch (row.state) {
    case Row::State::kStopping: row.stateText = text(lang::IDS_STOPPING); break;
    case Row::State::kStopped: row.stateText = ResultText(PortRun::Result::kStopped, text); break;
    case Row::State::kHeld: row.stateText = text(lang::IDS_BENCH_HELD); break;
    default: row.stateText = text(kStateText[static_cast<int>(row.state)]); break;
    }
    return row;
}

std::string HolderText(const std::string& holder, const TextLookup& text) {
    return FormatText(text(lang::IDS_BENCH_HELD_BY), holder);
}

std::string BenchTotalsLine(const BenchTotals& totals, const TextLookup& text) {
    char perHour[32];
    std::snprintf(perHour, sizeof perHour, "%.1f", totals.PerHour());
    // Stopped handsets count with the failed ones, as each row counts them.
    return FormatTexts(text(lang::IDS_BENCH_TOTALS),
                       {std::to_string(totals.done), std::to_string(totals.failed + totals.stopped), perHour});
}

std::string FormatTimeLeft(double seconds) {
    if (!(seconds >= 0) || seconds > 1e9) return "";  // none yet, or nothing a row could say
    const long long total = std::llround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}
