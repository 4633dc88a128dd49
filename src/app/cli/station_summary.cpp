// SPDX-License-Identifier: Apache-2.0
#include "app/cli/station_summary.h"

#include <algorithm>

#include "app/common/text_columns.h"
#include "app/runs/station_text.h"
#include "lang/string_ids.h"

std::string StationSummary(const std::vector<std::unique_ptr<StationPort>>& ports, const BenchTotals& totals,
                           const TextLookup& text) {
    // The headings in the library's words; each column as wide as its heading (by display
    // columns), the port's as its widest name.
    constexpr size_t kColumns = 6;
    const std::string headings = text(lang::IDS_STATION_COLUMNS);
    const char* const kEnglish[kColumns] = {"Port", "Handsets", "Done", "Not confirmed", "Failed", "Stopped"};
    std::string heading[kColumns];
    size_t width[kColumns] = {};
    for (size_t i = 0; i < kColumns; ++i) {
        heading[i] = ListWord(headings, i);
        if (heading[i].empty()) heading[i] = kEnglish[i];
        width[i] = TextColumns(heading[i]);
    }
    for (const auto& port : ports) width[0] = std::max(width[0], TextColumns(port->Port()));
    std::string table = PadColumns(heading[0], width[0]);
    for (size_t i = 1; i < kColumns; ++i) table += "  " + PadColumns(heading[i], width[i], true);
    table += "\n";
    for (const auto& port : ports) {
        table += PadColumns(port->Port(), width[0]);
        if (port->phase == StationPort::Phase::kRefused) {
            table += "  " + RefusedLine(port->claim, text) + "\n";
            continue;
        }
        const unsigned counts[kColumns] = {
            0, port->handsets, port->done, port->unconfirmed, port->failed, port->stopped};
        for (size_t i = 1; i < kColumns; ++i) table += "  " + PadColumns(std::to_string(counts[i]), width[i], true);
        table += "\n";
    }
    return table + "\n" + BenchLine(totals, text) + "\n";
}
