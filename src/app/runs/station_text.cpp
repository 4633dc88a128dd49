// SPDX-License-Identifier: Apache-2.0
#include "app/runs/station_text.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/common/format_text.h"
#include "app/common/stop_notice.h"
#include "app/common/text_columns.h"
#include "lang/string_ids.h"

std::string ModeName(EPhoneMode mode, const TextLookup& text) {
    switch (mode) {
    case PHONE_MODE_DS: return ListWord(text(lang::IDS_MODE_NAMES), 0);
    case PHONE_MODE_DIAG: return ListWord(text(lang::IDS_MODE_NAMES), 1);
    case PHONE_MODE_DL: return ListWord(text(lang::IDS_MODE_NAMES), 2);
    default: return "";
    }
}

std::string ConfirmingLine(double timeoutSeconds, const TextLookup& text) {
    char seconds[48];
    std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
    return FormatText(text(lang::IDS_CONFIRMING_WAIT), seconds);
}

std::string ConfirmedLine(const PortRun& run, const TextLookup& text) {
    if (run.confirmed != true) return text(lang::IDS_RESTART_NOT_CONFIRMED);
    const std::string mode = ModeName(run.modeAfter, text);
    if (run.platform.empty()) return FormatText(text(lang::IDS_RESTART_CONFIRMED), mode);
    return FormatTexts(text(lang::IDS_RESTART_CONFIRMED_PLATFORM), {mode, run.platform});
}

const char* PhaseWord(StationPort::Phase phase) {
    switch (phase) {
    case StationPort::Phase::kWaiting: return "waiting";
    case StationPort::Phase::kFlashing: return "flashing";
    case StationPort::Phase::kConfirming: return "confirming";
    case StationPort::Phase::kRemoval: return "remove";
    case StationPort::Phase::kEnded: return "ended";
    case StationPort::Phase::kRefused: return "refused";
    }
    return "?";
}

std::string PhaseText(const StationPort& port, const TextLookup& text) {
    const PortRun* handset = port.handset.get();
    switch (port.phase) {
    case StationPort::Phase::kWaiting: return text(lang::IDS_PHASE_WAITING);
    case StationPort::Phase::kFlashing: return text(lang::IDS_BENCH_FLASHING);
    case StationPort::Phase::kConfirming: {
        const auto left = port.confirmUntil - std::chrono::steady_clock::now();
        if (port.confirmUntil == std::chrono::steady_clock::time_point{} || left.count() <= 0) {
            return text(lang::IDS_PHASE_CONFIRMING);
        }
        const auto seconds = std::chrono::ceil<std::chrono::seconds>(left).count();
        return FormatText(text(lang::IDS_CONFIRMING_LEFT), std::to_string(seconds));
    }
    case StationPort::Phase::kRemoval:
        if (handset && handset->result == PortRun::Result::kDone) {
            return text(handset->confirmed == false ? lang::IDS_PHASE_REMOVE_UNCONFIRMED : lang::IDS_PHASE_REMOVE_DONE);
        }
        return text(lang::IDS_PHASE_REMOVE_FAILED);
    case StationPort::Phase::kEnded:
        if (handset && handset->result == PortRun::Result::kStopped) return text(lang::IDS_PHASE_STOPPED);
        return text(lang::IDS_PHASE_ENDED);
    case StationPort::Phase::kRefused: return RefusedLine(port.claim, text);
    }
    return {};
}

std::string BenchLine(const BenchTotals& totals, const TextLookup& text) {
    const long long seconds = std::llround(totals.seconds);
    char time[32];
    std::snprintf(time, sizeof time, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", totals.PerHour());
    std::string counts = FormatText(text(lang::IDS_COUNT_DONE), std::to_string(totals.done));
    if (totals.unconfirmed > 0) {
        counts += " (" + FormatText(text(lang::IDS_COUNT_UNCONFIRMED), std::to_string(totals.unconfirmed)) + ")";
    }
    counts += ", " + FormatText(text(lang::IDS_COUNT_FAILED), std::to_string(totals.failed));
    if (totals.stopped > 0) counts += ", " + FormatText(text(lang::IDS_COUNT_STOPPED), std::to_string(totals.stopped));
    counts += "; " + FormatText(text(lang::IDS_COUNT_PER_HOUR), rate);
    if (totals.recordsWaiting) {
        counts += "; " + FormatText(text(lang::IDS_RECORDS_WAITING), std::to_string(*totals.recordsWaiting));
    }
    if (totals.handsets == 1) return FormatTexts(text(lang::IDS_BENCH_LINE_ONE), {time, counts});
    return FormatTexts(text(lang::IDS_BENCH_LINE), {std::to_string(totals.handsets), time, counts});
}

std::string ResultText(PortRun::Result result, const TextLookup& text) {
    const std::string word = text ? ListWord(text(lang::IDS_RESULT_WORDS), static_cast<size_t>(result)) : "";
    return word.empty() ? ResultWord(result) : word;
}

std::string ClaimWhy(const PortClaim& claim, const TextLookup& text) {
    if (!text) return claim.Why();
    switch (claim.Result()) {
    case PortClaim::Outcome::kHeld:
        return claim.Holder().empty() ? FormatText(text(lang::IDS_BENCH_PORT_HELD_UNKNOWN), claim.Port())
                                      : FormatTexts(text(lang::IDS_BENCH_PORT_HELD), {claim.Port(), claim.Holder()});
    case PortClaim::Outcome::kTwice: return FormatText(text(lang::IDS_PORT_TWICE), claim.Port());
    default: return claim.Why();
    }
}

std::string RefusedLine(const PortClaim& claim, const TextLookup& text) {
    return FormatText(text(lang::IDS_REFUSED), ClaimWhy(claim, text));
}

std::string StoppingLineOf(const PortRun& run, const TextLookup& text) {
    const double grew = run.estimate.SecondsAtLastGrowth();
    const double into = grew >= 0 ? run.Seconds() - grew : -1;
    return StoppingLine(SecondsToBlockEnd(run.ConfirmedBytes(), run.loadSize, run.estimate.BytesPerSecond(), into),
                        text);
}

std::string HandsetLine(uint32_t sequence, const std::string& what, const TextLookup& text) {
    return FormatTexts(text(lang::IDS_HANDSET_LINE), {std::to_string(sequence), what});
}

std::string CellWord(CellWordIndex index, const TextLookup& text) {
    return ListWord(text(lang::IDS_CELL_WORDS), index);
}
