// SPDX-License-Identifier: Apache-2.0
// Delivery against Debian's mosquitto, started by each test on free local ports.
#include <gtest/gtest.h>

#include "memory_outbox.h"
#include "mqtt_broker.h"
#include "mqtt_listener.h"
#include "records/delivery_send.h"
#include "records/delivery_settings.h"

namespace {

MqttConnection Connection(const std::string& url, const std::string& ca = "", const std::string& password = "") {
    std::string error;
    auto connection = MakeMqttConnection({url, ca}, error);
    EXPECT_TRUE(connection) << error;
    connection->password = password;
    return *connection;
}

DeliveryReport Pending(MemoryOutbox& outbox, const MqttConnection& connection, std::size_t batch = 200) {
    auto publisher = MakeMqttPublisher(connection);
    return PublishPending(outbox, *publisher, batch);
}

// The sequence each received payload names, in arrival order.
std::vector<std::int64_t> Sequences(const std::vector<MqttListener::Message>& messages) {
    std::vector<std::int64_t> sequences;
    for (const auto& message : messages) {
        const size_t at = message.payload.find("\"sequence\":");
        sequences.push_back(at == std::string::npos ? -1 : std::stoll(message.payload.substr(at + 11)));
    }
    return sequences;
}

std::vector<std::int64_t> OneTo(std::int64_t last) {
    std::vector<std::int64_t> sequences;
    for (std::int64_t i = 1; i <= last; ++i) sequences.push_back(i);
    return sequences;
}

}  // namespace

TEST(DeliveryBroker, EveryRecordArrivesOnceInOrderUnderItsTopic) {
    MqttBroker broker;
    ASSERT_TRUE(broker.Start()) << broker.Error();
    MqttListener listener(broker.ListenerPort(), "factory/#");
    ASSERT_TRUE(listener.Start()) << listener.Error();
    MemoryOutbox outbox;
    std::vector<WaitingRecord> added;
    for (int i = 0; i < 25; ++i) added.push_back(outbox.Add("bench-07", i % 2 ? "/dev/ttyUSB0" : "COM3"));

    const DeliveryReport report = Pending(outbox, Connection(broker.Url("factory/records")), 10);
    EXPECT_FALSE(report.error) << report.error.detail;
    EXPECT_EQ(report.sent, 25u);
    EXPECT_EQ(report.waiting, 0u);
    EXPECT_EQ(outbox.Delivered(), OneTo(25));

    // One more round sends nothing again: what was acknowledged waits no longer.
    outbox.Add("bench-07", "COM3");
    EXPECT_EQ(Pending(outbox, Connection(broker.Url("factory/records"))).sent, 1u);
    const auto messages = listener.WaitFor(26, 5000);
    ASSERT_EQ(Sequences(messages), OneTo(26));
    for (size_t i = 0; i < added.size(); ++i) {
        EXPECT_EQ(messages[i].topic, i % 2 ? "factory/records/bench-07/ttyUSB0" : "factory/records/bench-07/COM3");
        EXPECT_EQ(messages[i].payload, added[i].payload);
        EXPECT_EQ(messages[i].qos, 1);
        EXPECT_FALSE(messages[i].retained);
    }
}

TEST(DeliveryBroker, AWrongPasswordIsToldAndTheRecordsWait) {
    MqttBroker broker({.tls = false, .user = "bench7", .password = "right"});
    ASSERT_TRUE(broker.Start()) << broker.Error();
    MemoryOutbox outbox;
    for (int i = 0; i < 3; ++i) outbox.Add("bench-07", "COM3");

    DeliveryReport report = Pending(outbox, Connection(broker.Url("f", "bench7"), "", "wrong"));
    EXPECT_EQ(report.error.fault, PublishFault::kLogin) << report.error.detail;
    EXPECT_EQ(report.sent, 0u);
    EXPECT_EQ(report.waiting, 3u);
    report = Pending(outbox, Connection(broker.Url("f")));  // no login at all
    EXPECT_EQ(report.error.fault, PublishFault::kLogin) << report.error.detail;
    EXPECT_EQ(outbox.WaitingCount(), 3u);

    MqttListener listener(broker.ListenerPort(), "f/#", "bench7", "right");
    ASSERT_TRUE(listener.Start()) << listener.Error();
    report = Pending(outbox, Connection(broker.Url("f", "bench7"), "", "right"));
    EXPECT_FALSE(report.error) << report.error.detail;
    EXPECT_EQ(Sequences(listener.WaitFor(3, 5000)), OneTo(3));
}

TEST(DeliveryBroker, TlsNeedsTheCaThatSignedTheBroker) {
    MqttBroker broker({.tls = true, .user = {}, .password = {}});
    ASSERT_TRUE(broker.Start()) << broker.Error();
    MemoryOutbox outbox;
    for (int i = 0; i < 4; ++i) outbox.Add("bench-07", "COM3");

    DeliveryReport report = Pending(outbox, Connection(broker.Url("f"), broker.OtherCaFile()));
    EXPECT_EQ(report.error.fault, PublishFault::kTls) << report.error.detail;
    EXPECT_EQ(report.waiting, 4u);
    // Without a CA file the system's CAs are asked, and none of them signed the test's broker.
    report = Pending(outbox, Connection(broker.Url("f")));
    EXPECT_EQ(report.error.fault, PublishFault::kTls) << report.error.detail;
    report = Pending(outbox, Connection(broker.Url("f"), broker.CaFile() + ".missing"));
    EXPECT_EQ(report.error.fault, PublishFault::kCaFile) << report.error.detail;
    EXPECT_NE(report.error.detail.find(".missing"), std::string::npos) << report.error.detail;
    EXPECT_EQ(outbox.WaitingCount(), 4u);
    EXPECT_TRUE(outbox.Delivered().empty());

    MqttListener listener(broker.ListenerPort(), "f/#");
    ASSERT_TRUE(listener.Start()) << listener.Error();
    report = Pending(outbox, Connection(broker.Url("f"), broker.CaFile()));
    EXPECT_FALSE(report.error) << report.error.detail;
    EXPECT_EQ(Sequences(listener.WaitFor(4, 5000)), OneTo(4));
}

TEST(DeliveryBroker, NoBrokerAtThePortIsToldAndTheRecordsWait) {
    MemoryOutbox outbox;
    outbox.Add("bench-07", "COM3");
    const DeliveryReport report =
        Pending(outbox, Connection("mqtt://127.0.0.1:" + std::to_string(FreeLocalPort()) + "/f"));
    EXPECT_EQ(report.error.fault, PublishFault::kUnreachable) << report.error.detail;
    EXPECT_EQ(report.waiting, 1u);
}
