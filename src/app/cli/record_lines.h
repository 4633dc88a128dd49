// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>

#include "records/production_record.h"

// How stored records are written out: --history's lines and --records-export's files.

// --history's column heads, and one record under them.
std::string RecordLineHeader();
std::string RecordLine(const ProductionRecord& record);

enum class ExportFormat { kCsv, kJsonLines };
// The format a file's name asks for (.csv; .jsonl, .ndjson, .json), none for another name.
std::optional<ExportFormat> ExportFormatOf(const std::string& path);
// What a new export begins with (CSV: its header line) and one record's line, with its end.
// CSV lines end in CR LF (RFC 4180), and its text fields are kept as text in a spreadsheet.
std::string ExportStart(ExportFormat format);
std::string ExportLine(ExportFormat format, const ProductionRecord& record);
