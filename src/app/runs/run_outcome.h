// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "app/common/status_lines.h"
#include "app/common/text_columns.h"
#include "app/runs/port_run.h"

// How a run that has ended is told: one set of fields, the same in the JSON summary, the
// summary table, the report row and the log.
struct RunOutcome {
    const char* result = "";       // ResultWord: done, failed, empty, stopped, refused
    std::optional<uint32_t> code;  // the last status the run reached; none for a refused run or
                                   // one stopped before its first status
    std::string text;              // the final status line's text; for a stopped run the stop's
                                   // line; "refused:" for a refused port
    std::string reason;            // why, where the tool knows: the port's story under a failure,
                                   // the refusal's reason
    // text and reason in one line.
    std::string Line() const { return JoinSentences(text, reason); }
};

RunOutcome OutcomeOf(const PortRun& run, const TextLookup& text);

// The reason of a done run whose handset did not answer again after its restart.
inline constexpr const char* kRestartNotConfirmed = "Done, restart not confirmed: the handset did not answer again.";

// "0x065".
std::string StatusCodeText(uint32_t code);

// Ends the run's part of the diagnostic log with one line at level 1: its result, final status
// code, this program's version, the load's version, the handset's version and the port.
void LogRunOutcome(const PortRun& run, const RunOutcome& outcome, const std::string& loadVersion);
