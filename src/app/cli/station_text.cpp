// SPDX-License-Identifier: Apache-2.0
#include "app/cli/station_text.h"

#include <cmath>
#include <cstdio>

#include "app/cli/run_outcome.h"

std::string ModeName(EPhoneMode mode) {
    switch (mode) {
    case PHONE_MODE_DS: return "AT data mode";
    case PHONE_MODE_DIAG: return "diagnostic mode";
    case PHONE_MODE_DL: return "download mode";
    default: return "";
    }
}

std::string ConfirmingLine(double timeoutSeconds) {
    char text[96];
    std::snprintf(text, sizeof text, "Waiting up to %g s for the handset to restart...", timeoutSeconds);
    return text;
}

std::string ConfirmedLine(const PortRun& run) {
    if (run.confirmed != true) return kRestartNotConfirmed;
    std::string line = "Restart confirmed: the handset answers in " + ModeName(run.modeAfter);
    if (!run.platform.empty()) line += " (platform " + run.platform + ")";
    return line + ".";
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

std::string PhaseText(const StationPort& port) {
    const PortRun* handset = port.handset.get();
    switch (port.phase) {
    case StationPort::Phase::kWaiting: return "waiting for a handset";
    case StationPort::Phase::kFlashing: return "flashing";
    case StationPort::Phase::kConfirming: return "done: waiting for the handset to restart";
    case StationPort::Phase::kRemoval:
        if (handset && handset->result == PortRun::Result::kDone) {
            return handset->confirmed == false ? "done, restart not confirmed: remove the handset"
                                               : "done: remove the handset";
        }
        return "failed: remove the handset";
    case StationPort::Phase::kEnded:
        if (handset && handset->result == PortRun::Result::kStopped) {
            return "stopped: switch the handset off and on";
        }
        return "ended";
    case StationPort::Phase::kRefused: return "refused: " + port.claim.Why();
    }
    return {};
}

std::string BenchLine(const BenchTotals& totals) {
    const long long seconds = std::llround(totals.seconds);
    char time[32];
    std::snprintf(time, sizeof time, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", totals.PerHour());
    std::string line = std::to_string(totals.handsets) + (totals.handsets == 1 ? " handset" : " handsets") + " in " +
                       time + ": " + std::to_string(totals.done) + " done";
    if (totals.unconfirmed > 0) line += " (" + std::to_string(totals.unconfirmed) + " restart not confirmed)";
    line += ", " + std::to_string(totals.failed) + " failed";
    if (totals.stopped > 0) line += ", " + std::to_string(totals.stopped) + " stopped";
    return line + "; " + rate + " handsets per hour";
}
