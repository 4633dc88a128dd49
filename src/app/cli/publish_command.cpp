// SPDX-License-Identifier: Apache-2.0
#include "app/cli/publish_command.h"

#include <memory>
#include <string_view>

#include "app/cli/cli_session.h"
#include "app/cli/command_language.h"
#include "app/common/exit_status.h"
#include "app/common/format_text.h"
#include "app/common/resource_library.h"
#include "app/runs/run_records.h"
#include "lang/string_ids.h"
#include "records/delivery_settings.h"
#include "records/record_store.h"

std::string PublishFaultText(const PublishError& error, const std::string& broker, const LibraryText& text) {
    // The library's own texts end in a full stop, as the formats do after them.
    std::string_view detail = error.detail;
    while (!detail.empty() && (detail.back() == '.' || detail.back() == ' ')) detail.remove_suffix(1);
    switch (error.fault) {
    case PublishFault::kNone: return {};
    case PublishFault::kUnavailable: return text(lang::IDS_PUBLISH_UNAVAILABLE);
    case PublishFault::kCaFile: return FormatText(text(lang::IDS_PUBLISH_CA_FILE), detail);
    case PublishFault::kUnreachable: return FormatTexts(text(lang::IDS_PUBLISH_UNREACHABLE), {broker, detail});
    case PublishFault::kLogin: return FormatTexts(text(lang::IDS_PUBLISH_LOGIN), {broker, detail});
    case PublishFault::kTls: return FormatTexts(text(lang::IDS_PUBLISH_TLS), {broker, detail});
    case PublishFault::kStore: return FormatText(text(lang::IDS_PUBLISH_STORE), detail);
    case PublishFault::kLost:
    case PublishFault::kStopped: return FormatTexts(text(lang::IDS_PUBLISH_LOST), {broker, detail});
    }
    return std::string(detail);
}

int RunPublishPending(RecordOutbox& outbox, const MqttConnection& connection, const LibraryText& text, std::FILE* out,
                      std::FILE* err) {
    const std::string broker = connection.target.Text();
    const auto publisher = MakeMqttPublisher(connection);
    const DeliveryReport report = PublishPending(outbox, *publisher);
    if (report.sent > 0 || !report.error)
        std::fprintf(out, "%s\n",
                     FormatTexts(text(lang::IDS_PUBLISH_SENT), {std::to_string(report.sent), broker}).c_str());
    if (!report.error) return kExitDone;
    std::fprintf(err, "vexlor: %s\n", PublishFaultText(report.error, broker, text).c_str());
    std::fprintf(err, "vexlor: %s\n", FormatText(text(lang::IDS_PUBLISH_KEPT), std::to_string(report.waiting)).c_str());
    return kExitPublish;
}

std::optional<MqttConnection> PublishConnection(const CliArguments& args, std::FILE* err, int& status) {
    const PublishSettings settings = ReadPublishSettings(args.publishUrl, args.publishCa);
    status = kExitDone;
    if (settings.url.empty()) return std::nullopt;
    std::string error;
    std::optional<MqttConnection> connection = MakeMqttConnection(settings, error);
    if (!connection) {
        // The command line's URL was checked as it was read: what is left comes from the settings.
        const bool fromSettings = !args.publishUrl || !args.publishCa;
        std::fprintf(err, "vexlor: %s%s\n", fromSettings ? "publish in the settings file: " : "", error.c_str());
        status = args.publishUrl ? kExitUsage : kExitSettings;
    }
    return connection;
}

int RunPublishPendingCommand(const CliArguments& args, std::FILE* out, std::FILE* err) {
    CResourceLibrary language;
    if (!LoadCommandLanguage(args.language, language, err)) return kExitLanguage;
    const TextLookup text = [&](unsigned id) { return language.LoadString(id); };
    int status = kExitDone;
    const std::optional<MqttConnection> connection = PublishConnection(args, err, status);
    if (status != kExitDone) return status;
    if (!connection) {
        std::fprintf(err,
                     "vexlor: no broker is named: give --publish mqtt://... or \"publish\" in the settings file.\n");
        return kExitUsage;
    }
    const std::string path = RecordStorePath(args);
    StoreFailure failure{StoreFailure::Kind::kCannotOpen, "the system names no folder for it"};
    const std::unique_ptr<RecordStore> store =
        path.empty() ? nullptr : RecordStore::Open(path, RecordStore::Mode::kWrite, failure);
    if (!store) {
        std::fprintf(err, "vexlor: %s\n", StoreProblem(failure, path, text).c_str());
        return kExitReport;
    }
    return RunPublishPending(*store, *connection, text, out, err);
}
