// SPDX-License-Identifier: Apache-2.0
#include "app/cli/records_commands.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>

#include "app/cli/cli_session.h"
#include "app/cli/command_language.h"
#include "app/cli/record_lines.h"
#include "app/common/exit_status.h"
#include "app/common/format_text.h"
#include "app/common/resource_library.h"
#include "app/runs/run_records.h"
#include "lang/string_ids.h"
#include "platform/sys_error.h"

namespace {

// What a broken chain's first bad record is told as.
std::string FindingLine(const ChainFinding& finding, const TextLookup& text) {
    const std::string seq = std::to_string(finding.seq);
    switch (finding.kind) {
    case ChainFinding::Kind::kChanged: return FormatTexts(text(lang::IDS_RECORDS_CHANGED), {seq, finding.recordId});
    case ChainFinding::Kind::kRemoved: return FormatTexts(text(lang::IDS_RECORDS_REMOVED), {seq, finding.recordId});
    case ChainFinding::Kind::kInserted: return FormatTexts(text(lang::IDS_RECORDS_INSERTED), {seq, finding.recordId});
    case ChainFinding::Kind::kBroken: return FormatTexts(text(lang::IDS_RECORDS_BROKEN), {seq, finding.recordId});
    case ChainFinding::Kind::kWhole: break;
    }
    return FormatTexts(text(lang::IDS_RECORDS_WHOLE), {std::to_string(finding.count), finding.headHash});
}

int Verify(RecordStore& store, std::FILE* out, std::FILE* err, const TextLookup& text) {
    StoreFailure failure;
    const ChainFinding finding = store.Verify(failure);
    if (failure) {
        std::fprintf(err, "vexlor: %s\n", StoreProblem(failure, store.Path(), text).c_str());
        return kExitReport;
    }
    std::fprintf(out, "%s\n", FindingLine(finding, text).c_str());
    return finding.kind == ChainFinding::Kind::kWhole ? kExitDone : kExitRecords;
}

int History(const CliArguments& args, RecordStore& store, std::FILE* out, std::FILE* err, const TextLookup& text) {
    if (!args.json) std::fprintf(out, "%s\n", RecordLineHeader().c_str());
    const StoreFailure failure = store.History({args.historyEsn, args.since}, [&](const ProductionRecord& record) {
        const std::string line = args.json ? StoredJson(record) : RecordLine(record);
        return std::fprintf(out, "%s\n", line.c_str()) >= 0;
    });
    std::fflush(out);
    if (!failure) return kExitDone;
    std::fprintf(err, "vexlor: %s\n", StoreProblem(failure, store.Path(), text).c_str());
    return kExitReport;
}

int Export(const CliArguments& args, RecordStore& store, std::FILE* out, std::FILE* err, const TextLookup& text) {
    const std::optional<ExportFormat> format = ExportFormatOf(args.exportFile);
    auto refuse = [&](const std::string& why) {
        std::fprintf(err, "vexlor: %s\n",
                     FormatTexts(text(lang::IDS_RECORDS_EXPORT_FAILED), {args.exportFile, why}).c_str());
        return kExitReport;
    };
    if (!format) return refuse("name it .csv (CSV) or .jsonl, .ndjson, .json (JSON Lines)");
    // Written beside it first and put in its place whole: an export cut short leaves no half file.
    const std::string part = args.exportFile + ".part";
    std::FILE* file = std::fopen(part.c_str(), "wb");
    if (!file) return refuse(platform::SysErrorPhrase(errno));
    bool written = std::fputs(ExportStart(*format).c_str(), file) >= 0;
    long long count = 0;
    const StoreFailure failure = store.History({std::string(), args.since}, [&](const ProductionRecord& record) {
        written = written && std::fputs(ExportLine(*format, record).c_str(), file) >= 0;
        ++count;
        return written;
    });
    const int error = errno;
    written = std::fclose(file) == 0 && written;
    std::error_code moved;
    if (written && !failure) std::filesystem::rename(part, args.exportFile, moved);
    if (failure || !written || moved) {
        std::error_code ignored;
        std::filesystem::remove(part, ignored);
    }
    if (failure) {
        std::fprintf(err, "vexlor: %s\n", StoreProblem(failure, store.Path(), text).c_str());
        return kExitReport;
    }
    if (!written) return refuse(platform::SysErrorPhrase(error));
    if (moved) return refuse(moved.message());
    std::fprintf(out, "%s\n",
                 FormatTexts(text(lang::IDS_RECORDS_EXPORTED), {std::to_string(count), args.exportFile}).c_str());
    return kExitDone;
}

}  // namespace

int RunRecordsCommand(const CliArguments& args, std::FILE* out, std::FILE* err) {
    CResourceLibrary language;
    if (!LoadCommandLanguage(args.language, language, err)) return kExitLanguage;
    const TextLookup text = [&](unsigned id) { return language.LoadString(id); };
    const std::string path = RecordStorePath(args);
    StoreFailure failure{StoreFailure::Kind::kCannotOpen, "the system names no folder for it"};
    const std::unique_ptr<RecordStore> store =
        path.empty() ? nullptr : RecordStore::Open(path, RecordStore::Mode::kRead, failure);
    if (!store) {
        std::error_code ignored;
        const bool none =
            failure.kind == StoreFailure::Kind::kCannotOpen && !path.empty() && !std::filesystem::exists(path, ignored);
        const std::string line =
            none ? FormatText(text(lang::IDS_RECORDS_NO_STORE), path) : StoreProblem(failure, path, text);
        std::fprintf(err, "vexlor: %s\n", line.c_str());
        return kExitReport;
    }
    if (args.command == CliCommand::kRecordsVerify) return Verify(*store, out, err, text);
    if (args.command == CliCommand::kHistory) return History(args, *store, out, err, text);
    return Export(args, *store, out, err, text);
}
