// SPDX-License-Identifier: Apache-2.0
#include "records/delivery_send.h"

#include <string>

DeliveryReport SendWaiting(RecordOutbox& outbox, RecordPublisher& publisher, std::size_t batch,
                           const std::function<bool()>& stopping) {
    DeliveryReport report;
    std::int64_t last = 0;
    bool any = false;
    while (!stopping || !stopping()) {
        const std::vector<WaitingRecord> records = outbox.Waiting(batch);
        if (records.empty()) break;
        // A store that hands out a record already sent in this round would loop for ever.
        if (any && records.front().sequence <= last) {
            report.error = {PublishFault::kStore, "record " + std::to_string(records.front().sequence) +
                                                      " is still waiting after it was marked delivered"};
            break;
        }
        std::size_t acknowledged = 0;
        const PublishError error = publisher.Publish(records, acknowledged);
        for (std::size_t i = 0; i < acknowledged; ++i) {
            if (!outbox.MarkDelivered(records[i].sequence)) {
                report.error = {PublishFault::kStore,
                                "record " + std::to_string(records[i].sequence) + " could not be marked delivered"};
                break;
            }
            ++report.sent;
            last = records[i].sequence;
            any = true;
        }
        if (report.error) break;
        if (error) {
            report.error = error;
            break;
        }
    }
    report.waiting = outbox.WaitingCount();
    return report;
}

DeliveryReport PublishPending(RecordOutbox& outbox, RecordPublisher& publisher, std::size_t batch) {
    if (PublishError error = publisher.Connect()) {
        DeliveryReport report;
        report.error = std::move(error);
        report.waiting = outbox.WaitingCount();
        return report;
    }
    return SendWaiting(outbox, publisher, batch);
}
