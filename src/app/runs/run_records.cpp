// SPDX-License-Identifier: Apache-2.0
#include "app/runs/run_records.h"

#include <filesystem>

#include "app/common/format_text.h"
#include "app/runs/run_outcome.h"
#include "engine/handset_probe.h"
#include "lang/string_ids.h"
#include "platform/station_names.h"
#include "serial/handset_identity.h"

bool LeavesRecord(const PortRun& run) {
    return run.result != PortRun::Result::kRefused && run.result != PortRun::Result::kEmpty;
}

ProductionRecord RecordOf(const RunFacts& facts, const RecordOrigin& origin) {
    ProductionRecord r;
    r.recordId = NewRecordId();
    r.started = platform::UtcIsoText(facts.startedAt);
    r.ended = platform::UtcIsoText(facts.endedAt);
    r.station = origin.station;
    r.operatorName = origin.operatorName;
    r.toolVersion = origin.toolVersion;
    r.port = facts.port;
    r.device = facts.device;
    r.sequence = 1;
    r.result = facts.outcome.result;
    if (facts.outcome.code) r.code = StatusCodeText(*facts.outcome.code);
    r.reason = facts.outcome.reason;
    if (facts.esn) {
        r.esn = EsnText(*facts.esn);
        r.esnDecimal = EsnDecimal(*facts.esn);
    }
    r.handsetVersion = facts.handsetVersion;
    r.loadVersion = origin.loadVersion;
    r.loadSha256 = origin.loadSha256;
    r.seconds = facts.seconds;
    r.bytes = static_cast<int64_t>(facts.bytes);
    return r;
}

ProductionRecord RecordOf(const PortRun& run, const TextLookup& text, const RecordOrigin& origin) {
    ProductionRecord r =
        RecordOf(RunFacts{run.Port(), run.Device(), run.startedAt, run.endedAt, OutcomeOf(run, text), run.esn,
                          run.worker ? run.worker->HandsetVersion() : std::string(), run.Seconds(), run.Bytes()},
                 origin);
    r.sequence = run.sequence;
    r.confirmed = run.confirmed;
    r.confirmedBy = run.confirmedBy;
    if (run.confirmed == true) {
        r.modeAfter = ModeWord(run.modeAfter);
        r.platform = run.platform;
    }
    return r;
}

RecordOrigin ThisStation(std::string loadVersion, std::string loadSha256) {
    return {platform::HostName(), platform::LoginName(), VEXLOR_VERSION_TEXT, std::move(loadVersion),
            std::move(loadSha256)};
}

std::string StoreProblem(const StoreFailure& failure, const std::string& path, const TextLookup& text) {
    using Kind = StoreFailure::Kind;
    switch (failure.kind) {
    case Kind::kNotAStore: return FormatText(text(lang::IDS_RECORDS_NOT_OURS), path);
    case Kind::kReadOnly: return FormatTexts(text(lang::IDS_RECORDS_READ_ONLY), {path, failure.detail});
    case Kind::kFull: return FormatTexts(text(lang::IDS_RECORDS_FULL), {path, failure.detail});
    case Kind::kBusy: return FormatTexts(text(lang::IDS_RECORDS_BUSY), {path, failure.detail});
    case Kind::kDamaged: return FormatTexts(text(lang::IDS_RECORDS_DAMAGED), {path, failure.detail});
    default: return FormatTexts(text(lang::IDS_RECORDS_CANNOT_OPEN), {path, failure.detail});
    }
}

std::unique_ptr<RecordStore> OpenRunStore(const std::string& path, bool makeFolder, StoreFailure& failure) {
    if (path.empty()) {
        failure = {StoreFailure::Kind::kCannotOpen, "the system names no folder for it"};
        return nullptr;
    }
    if (makeFolder) {
        std::error_code ignored;  // a folder that cannot be made is told by the open
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    }
    return RecordStore::Open(path, RecordStore::Mode::kWrite, failure);
}
