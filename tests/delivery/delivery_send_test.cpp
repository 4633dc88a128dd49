// SPDX-License-Identifier: Apache-2.0
#include "records/delivery_send.h"

#include <gtest/gtest.h>

#include "memory_outbox.h"

namespace {

// A broker that acknowledges a set number of records and then breaks the connection.
class BreakingPublisher : public RecordPublisher {
public:
    explicit BreakingPublisher(std::size_t acknowledges) : m_left(acknowledges) {}
    PublishError Connect() override { return {}; }
    PublishError Publish(const std::vector<WaitingRecord>& records, std::size_t& acknowledged) override {
        for (const WaitingRecord& record : records) published.push_back(record.sequence);
        acknowledged = std::min(records.size(), m_left);
        m_left -= acknowledged;
        if (acknowledged < records.size()) return {PublishFault::kLost, "connection lost"};
        return {};
    }
    PublishError Service() override { return {}; }
    std::vector<std::int64_t> published;

private:
    std::size_t m_left;
};

}  // namespace

TEST(DeliverySend, MarksExactlyTheAcknowledgedRecordsInOrder) {
    MemoryOutbox outbox;
    for (int i = 0; i < 7; ++i) outbox.Add("bench", "COM3");
    BreakingPublisher publisher(5);
    const DeliveryReport report = SendWaiting(outbox, publisher, 3);
    EXPECT_EQ(report.sent, 5u);
    EXPECT_EQ(report.waiting, 2u);
    EXPECT_EQ(report.error.fault, PublishFault::kLost);
    EXPECT_EQ(outbox.Delivered(), (std::vector<std::int64_t>{1, 2, 3, 4, 5}));
    // Batches of three: the second batch broke after two acknowledgements.
    EXPECT_EQ(publisher.published, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6}));

    // The next round starts where the acknowledgements ended.
    BreakingPublisher next(10);
    const DeliveryReport rest = SendWaiting(outbox, next, 3);
    EXPECT_FALSE(rest.error) << rest.error.detail;
    EXPECT_EQ(rest.sent, 2u);
    EXPECT_EQ(next.published, (std::vector<std::int64_t>{6, 7}));
}

TEST(DeliverySend, AStoreThatCannotMarkStopsTheRound) {
    MemoryOutbox outbox;
    for (int i = 0; i < 4; ++i) outbox.Add("bench", "COM3");
    outbox.RefuseMarks();
    BreakingPublisher publisher(10);
    const DeliveryReport report = SendWaiting(outbox, publisher, 2);
    EXPECT_EQ(report.error.fault, PublishFault::kStore);
    EXPECT_EQ(report.sent, 0u);
    EXPECT_EQ(report.waiting, 4u);
    // One batch only: the store's fault is not met by sending the same records again and again.
    EXPECT_EQ(publisher.published.size(), 2u);
}
