// SPDX-License-Identifier: Apache-2.0
// The command line's delivery of its records: started with the session where a broker is named,
// woken by each stored record, and given a few seconds at the end to send what the runs stored.
#include <chrono>
#include <string>

#include "app/cli/cli_session.h"
#include "app/cli/publish_command.h"
#include "app/common/exit_status.h"
#include "app/common/format_text.h"
#include "app/runs/records_delivery.h"
#include "lang/string_ids.h"

namespace {
constexpr std::chrono::seconds kEndFlush{3};
}

int CliSession::StartDelivery() {
    if (!m_records) return kExitDone;
    int status = kExitDone;
    const std::optional<MqttConnection> connection = PublishConnection(m_args, m_err, status);
    if (!connection) return status;
    m_broker = connection->target.Text();
    m_delivery = MakeRecordDelivery(*m_records, *connection);
    m_delivery->Start();
    return kExitDone;
}

void CliSession::EndDelivery(bool stopped) {
    if (!m_delivery) return;
    if (!stopped) m_delivery->Flush(kEndFlush);
    m_delivery->Stop();
    const RecordDelivery::Status status = m_delivery->Snapshot();
    // Another program holding the store's delivery lock sends them: nothing to tell here.
    if (status.waiting == 0 || status.elsewhere || !m_text) return;
    if (status.lastError)
        std::fprintf(m_err, "vexlor: %s\n", PublishFaultText(status.lastError, m_broker, m_text).c_str());
    std::fprintf(m_err, "vexlor: %s\n",
                 FormatText(m_text(lang::IDS_PUBLISH_KEPT), std::to_string(status.waiting)).c_str());
}

BenchTotals WithRecordsWaiting(const CliSession& session, BenchTotals totals) {
    if (const RecordDelivery* delivery = session.Delivery()) totals.recordsWaiting = delivery->WaitingCount();
    return totals;
}
