// SPDX-License-Identifier: Apache-2.0
// The store-and-forward worker against a broker that goes away in the middle of a station.
#include "records/delivery_worker.h"

#include <gtest/gtest.h>

#include <thread>

#include "memory_outbox.h"
#include "mqtt_broker.h"
#include "mqtt_listener.h"
#include "platform/named_mutex.h"
#include "records/delivery_settings.h"

namespace {

// Waits up to limitMs for what to hold.
template <typename Condition>
bool WaitUntil(Condition what, int limitMs = 10000) {
    for (int waited = 0; !what(); waited += 10) {
        if (waited >= limitMs) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::int64_t SequenceOf(const MqttListener::Message& message) {
    const size_t at = message.payload.find("\"sequence\":");
    return at == std::string::npos ? -1 : std::stoll(message.payload.substr(at + 11));
}

}  // namespace

TEST(DeliveryWorker, BrokerRestartedMidwayGetsEveryRecordOnceInOrder) {
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Error();
    MqttListener listener(broker.ListenerPort(), "station/#");
    ASSERT_TRUE(listener.Start()) << listener.Error();

    MemoryOutbox outbox;
    for (int i = 0; i < 5; ++i) outbox.Add("bench-07", "COM3");  // left by an earlier run
    std::string error;
    MqttConnection connection = *MakeMqttConnection({broker.Url("station"), ""}, error);
    connection.connectTimeout = std::chrono::milliseconds(1000);
    DeliveryTiming timing;
    timing.batch = 3;
    timing.firstRetry = std::chrono::milliseconds(50);
    timing.lastRetry = std::chrono::milliseconds(200);
    timing.idlePoll = std::chrono::milliseconds(100);
    RecordDelivery* self = nullptr;
    RecordDelivery delivery(
        outbox,
        [&] {
            MqttConnection own = connection;
            own.cancel = self->CancelFlag();
            return MakeMqttPublisher(own);
        },
        timing);
    self = &delivery;
    delivery.Start();
    ASSERT_TRUE(WaitUntil([&] { return outbox.WaitingCount() == 0; })) << "drained at start";
    ASSERT_EQ(listener.WaitFor(5, 5000).size(), 5u);
    ASSERT_TRUE(listener.Settle());

    broker.Stop();
    for (int i = 0; i < 5; ++i) {
        outbox.Add("bench-07", "/dev/ttyUSB1");
        delivery.Wake();
    }
    ASSERT_TRUE(WaitUntil([&] {
        const auto status = delivery.Snapshot();
        return status.lastError.fault == PublishFault::kUnreachable && status.waiting == 5;
    })) << "the outage is seen and the records wait";
    EXPECT_FALSE(delivery.Snapshot().connected);
    EXPECT_EQ(outbox.Delivered().size(), 5u);

    ASSERT_TRUE(broker.Start()) << broker.Error();
    ASSERT_TRUE(WaitUntil([&] { return outbox.WaitingCount() == 0; })) << delivery.Snapshot().lastError.detail;
    // One more after the catch-up: a record sent twice would arrive before it.
    outbox.Add("bench-07", "COM3");
    EXPECT_TRUE(delivery.Flush(std::chrono::seconds(10)));  // as a program about to end does
    EXPECT_EQ(outbox.WaitingCount(), 0u);
    const auto messages = listener.WaitFor(11, 10000);
    std::vector<std::int64_t> sequences;
    for (const auto& message : messages) sequences.push_back(SequenceOf(message));
    EXPECT_EQ(sequences, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_TRUE(WaitUntil([&] { return delivery.Snapshot().sent == 11; }));
    EXPECT_TRUE(delivery.Snapshot().connected);
    EXPECT_FALSE(delivery.Snapshot().lastError);
    delivery.Stop();
}

TEST(DeliveryWorker, OfTwoProgramsOnOneStoreOnlyOneSends) {
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Error();
    MqttListener listener(broker.ListenerPort(), "two/#");
    ASSERT_TRUE(listener.Start()) << listener.Error();
    MemoryOutbox store;
    for (int i = 0; i < 3; ++i) store.Add("bench-07", "COM3");
    std::string error;
    const MqttConnection connection = *MakeMqttConnection({broker.Url("two"), ""}, error);
    DeliveryTiming timing;
    timing.idlePoll = std::chrono::milliseconds(50);
    // Named after this test's own broker: tests running side by side hold locks of their own.
    const std::string lock = DeliveryLockName(broker.CaFile());
    RecordDelivery first(
        store, [&] { return MakeMqttPublisher(connection); }, timing, lock);
    RecordDelivery second(
        store, [&] { return MakeMqttPublisher(connection); }, timing, lock);
    // A third program holds the lock first: both find the records waiting and send none of them,
    // whichever of the two looks first.
    platform::NamedMutex third;
    ASSERT_EQ(third.Create(lock), platform::NamedMutex::Result::Created);
    first.Start();
    second.Start();
    ASSERT_TRUE(WaitUntil([&] { return first.Snapshot().elsewhere && second.Snapshot().elsewhere; }));
    EXPECT_EQ(store.WaitingCount(), 3u);
    third.Close();
    store.Add("bench-07", "COM3");
    ASSERT_TRUE(WaitUntil([&] { return store.WaitingCount() == 0; }));
    const auto messages = listener.WaitFor(4, 5000);
    std::vector<std::int64_t> sequences;
    for (const auto& message : messages) sequences.push_back(SequenceOf(message));
    EXPECT_EQ(sequences, (std::vector<std::int64_t>{1, 2, 3, 4}));
    first.Stop();
    second.Stop();
    // Exactly one sent them all; the other only counted.
    EXPECT_NE(first.Snapshot().elsewhere, second.Snapshot().elsewhere);
    EXPECT_EQ(first.Snapshot().sent + second.Snapshot().sent, 4u);
    EXPECT_EQ((first.Snapshot().elsewhere ? second : first).Snapshot().sent, 4u);
}

TEST(DeliveryWorker, StopsWhileTheBrokerIsAwayAndLeavesTheRecordsWaiting) {
    MemoryOutbox outbox;
    outbox.Add("bench-07", "COM3");
    std::string error;
    MqttConnection connection =
        *MakeMqttConnection({"mqtt://127.0.0.1:" + std::to_string(FreeLocalPort()) + "/f", ""}, error);
    RecordDelivery* self = nullptr;
    RecordDelivery delivery(outbox, [&] {
        MqttConnection own = connection;
        own.cancel = self->CancelFlag();
        return MakeMqttPublisher(own);
    });
    self = &delivery;
    delivery.Start();
    // A flush ends at the fault rather than waiting out its limit for a broker that is away.
    EXPECT_FALSE(delivery.Flush(std::chrono::seconds(60)));
    EXPECT_EQ(delivery.Snapshot().lastError.fault, PublishFault::kUnreachable);
    delivery.Stop();
    EXPECT_EQ(outbox.WaitingCount(), 1u);
    EXPECT_EQ(delivery.Snapshot().waiting, 1u);
}
