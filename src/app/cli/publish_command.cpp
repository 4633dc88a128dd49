// SPDX-License-Identifier: Apache-2.0
#include "app/cli/publish_command.h"

#include <string_view>

#include "app/common/exit_status.h"
#include "app/common/format_text.h"
#include "lang/string_ids.h"

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
