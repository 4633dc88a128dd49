// SPDX-License-Identifier: Apache-2.0
#include "app/cli/summary_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/common/format_text.h"
#include "app/common/text_columns.h"
#include "app/runs/run_outcome.h"
#include "app/runs/station_text.h"
#include "app/runs/transfer_estimate.h"
#include "lang/string_ids.h"

std::string FormatDuration(double seconds) {
    const long long total = seconds > 0 && std::isfinite(seconds) ? std::llround(seconds) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

std::string SummaryTable(const std::vector<std::unique_ptr<PortRun>>& runs, const TextLookup& text) {
    // The headings in the library's words; each column as wide as its heading or its widest cell
    // (by display columns: a heading or a result may hold wide characters).
    const std::string headings = text ? text(lang::IDS_SUMMARY_COLUMNS) : "";
    std::string heading[5];
    const char* const kEnglish[5] = {"Port", "Result", "Status", "Duration", "Average rate"};
    for (size_t i = 0; i < 5; ++i) {
        heading[i] = ListWord(headings, i);
        if (heading[i].empty()) heading[i] = kEnglish[i];
    }
    size_t width[5] = {4, 8, 6, 8, 12};
    for (size_t i = 0; i < 5; ++i) width[i] = std::max(width[i], TextColumns(heading[i]));
    for (const auto& run : runs) {
        width[0] = std::max(width[0], TextColumns(run->Port()));
        width[1] = std::max(width[1], TextColumns(ResultText(run->result, text)));
    }
    auto line = [&](const std::string(&cells)[5]) {
        return PadColumns(cells[0], width[0]) + "  " + PadColumns(cells[1], width[1]) + "  " +
               PadColumns(cells[2], width[2]) + "  " + PadColumns(cells[3], width[3], true) + "  " +
               PadColumns(cells[4], width[4], true) + "\n";
    };
    std::string table = line(heading);
    std::string reasons;
    for (const auto& run : runs) {
        const RunOutcome outcome = OutcomeOf(*run, text);
        const std::string status = outcome.code ? StatusCodeText(*outcome.code) : "-";
        const bool ran = run->result != PortRun::Result::kRefused;
        table += line({run->Port(), ResultText(run->result, text), status, ran ? FormatDuration(run->Seconds()) : "-",
                       ran ? FormatRate(run->AverageRate()) : "-"});
        const bool told = run->result == PortRun::Result::kFailed || run->result == PortRun::Result::kEmpty ||
                          run->result == PortRun::Result::kRefused;
        if (!told) continue;
        reasons += run->Port() + ": ";
        if (!ran) {
            reasons += (text ? RefusedLine(run->claim, text) : outcome.Line()) + "\n";
            continue;
        }
        if (outcome.code) reasons += "[" + status + "] ";
        reasons += outcome.Line() + "\n";
    }
    return reasons.empty() ? table : table + "\n" + reasons;
}
