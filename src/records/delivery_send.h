// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <functional>

#include "records/mqtt_publisher.h"
#include "records/record_outbox.h"

// What one round of sending did.
struct DeliveryReport {
    std::size_t sent = 0;     // records acknowledged and marked delivered
    std::size_t waiting = 0;  // records still waiting afterwards
    PublishError error;       // why it ended before the outbox was empty
};

// Sends what waits, oldest first, batch records at a time, over a connected publisher; each
// record the broker acknowledged is marked delivered at once, so a fault loses no
// acknowledgement. Ends when nothing waits, at the first fault, or when stopping() says so.
DeliveryReport SendWaiting(RecordOutbox& outbox, RecordPublisher& publisher, std::size_t batch,
                           const std::function<bool()>& stopping = {});

// --publish-pending: connects, sends everything that waits, and reports.
DeliveryReport PublishPending(RecordOutbox& outbox, RecordPublisher& publisher, std::size_t batch = 200);
