// SPDX-License-Identifier: Apache-2.0
#include "app/runs/run_outcome.h"

#include <cstdio>

#include "app/common/format_text.h"
#include "app/runs/station_text.h"
#include "lang/string_ids.h"
#include "log/log.h"
#include "serial/handset_identity.h"

RunOutcome OutcomeOf(const PortRun& run, const TextLookup& text) {
    RunOutcome outcome;
    outcome.result = ResultWord(run.result);
    if (run.lastStatus != 0) outcome.code = run.lastStatus;
    switch (run.result) {
    case PortRun::Result::kRefused:
        outcome.text = "refused:";
        outcome.reason = ClaimWhy(run.claim, text);
        break;
    case PortRun::Result::kStopped: outcome.text = text ? text(lang::IDS_STOPPED) : "stopped"; break;
    case PortRun::Result::kRunning: break;
    default:
        outcome.text = StatusLineBody(run.lastStatus, run.failure, text);
        outcome.reason = FailureDetailLine(run.lastStatus, run.failure, run.Port(), text);
        // A warning, not a failure: the load is in, but the handset was not seen to restart.
        if (run.result == PortRun::Result::kDone && run.confirmed == false) {
            outcome.reason = text ? text(lang::IDS_RESTART_NOT_CONFIRMED) : kRestartNotConfirmed;
            if (run.otherEsn && text)
                outcome.reason = FormatText(text(lang::IDS_OTHER_HANDSET), EsnText(*run.otherEsn));
        }
        if (run.result == PortRun::Result::kDone && run.confirmStopped && text) {
            outcome.reason = text(lang::IDS_CONFIRM_STOPPED);
        }
        break;
    }
    return outcome;
}

std::string StatusCodeText(uint32_t code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%03X", static_cast<unsigned>(code));
    return hex;
}

void LogRunOutcome(const PortRun& run, const RunOutcome& outcome, const std::string& loadVersion) {
    const std::string handset = run.worker ? run.worker->HandsetVersion() : std::string();
    const std::string code = outcome.code ? StatusCodeText(*outcome.code) : std::string("none");
    const std::string esn = run.esn ? EsnText(*run.esn) : std::string("-");
    // Level 1, the default: level 0 is the log's header and footer and nothing else.
    LogWritePort(LOG_ER, run.Port().c_str(), "vexlor --cli",
                 "Run ended: %s, status %s, program %s, load %s, handset %s, ESN %s, port %s (%s).", outcome.result,
                 code.c_str(), VEXLOR_VERSION_TEXT, loadVersion.empty() ? "-" : loadVersion.c_str(),
                 handset.empty() ? "-" : handset.c_str(), esn.c_str(), run.Port().c_str(),
                 run.Device().empty() ? "-" : run.Device().c_str());
}
