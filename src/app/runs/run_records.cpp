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

ProductionRecord RecordOf(const PortRun& run, const TextLookup& text, const RecordOrigin& origin) {
    const RunOutcome outcome = OutcomeOf(run, text);
    const bool answered = run.confirmed == true;
    ProductionRecord r;
    r.recordId = NewRecordId();
    r.started = platform::UtcIsoText(run.startedAt);
    r.ended = platform::UtcIsoText(run.endedAt);
    r.station = origin.station;
    r.operatorName = origin.operatorName;
    r.toolVersion = origin.toolVersion;
    r.port = run.Port();
    r.device = run.Device();
    r.sequence = run.sequence;
    r.result = outcome.result;
    if (outcome.code) r.code = StatusCodeText(*outcome.code);
    r.reason = outcome.reason;
    r.confirmed = run.confirmed;
    r.confirmedBy = run.confirmedBy;
    if (run.esn) {
        r.esn = EsnText(*run.esn);
        r.esnDecimal = EsnDecimal(*run.esn);
    }
    if (answered) {
        r.modeAfter = ModeWord(run.modeAfter);
        r.platform = run.platform;
    }
    r.handsetVersion = run.worker ? run.worker->HandsetVersion() : std::string();
    r.loadVersion = origin.loadVersion;
    r.loadSha256 = origin.loadSha256;
    r.seconds = run.Seconds();
    r.bytes = static_cast<int64_t>(run.Bytes());
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
