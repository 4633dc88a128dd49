// SPDX-License-Identifier: Apache-2.0
// Delivery of a backlog to a local mosquitto: 10,000 records of a real record's size, first as
// --publish-pending sends them over one connection, then as the worker sends them once the
// broker is back after an outage (timed from the broker's start to the last acknowledgement).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "memory_outbox.h"
#include "mqtt_broker.h"
#include "mqtt_listener.h"
#include "records/delivery_settings.h"
#include "records/delivery_worker.h"

namespace {

constexpr int kRecords = 10000;
// A stored record's JSON is about 900 bytes with its hashes.
const std::string kPadding(780, 'x');

MqttConnection Connection(const MqttBroker& broker) {
    std::string error;
    return *MakeMqttConnection({broker.Url("bench"), ""}, error);
}

void Fill(MemoryOutbox& outbox) {
    for (int i = 0; i < kRecords; ++i) outbox.Add("bench-07", i % 2 ? "/dev/ttyUSB0" : "/dev/ttyUSB1", kPadding);
}

void BM_PublishPendingBacklog(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        MqttBroker broker;
        if (!broker.Start()) return state.SkipWithError(broker.Error().c_str());
        MqttListener listener(broker.ListenerPort(), "bench/#");
        if (!listener.Start()) return state.SkipWithError(listener.Error().c_str());
        MemoryOutbox outbox;
        Fill(outbox);
        state.ResumeTiming();
        const auto publisher = MakeMqttPublisher(Connection(broker));
        const DeliveryReport report = PublishPending(outbox, *publisher);
        if (report.error || report.sent != kRecords) state.SkipWithError(report.error.detail.c_str());
        if (listener.WaitFor(kRecords, 30000).size() != kRecords) state.SkipWithError("records missing");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_PublishPendingBacklog)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WorkerAfterOutage(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        MqttBroker broker;
        if (!broker.Start()) return state.SkipWithError(broker.Error().c_str());
        MqttListener listener(broker.ListenerPort(), "bench/#");
        if (!listener.Start()) return state.SkipWithError(listener.Error().c_str());
        broker.Stop();
        MemoryOutbox outbox;
        const MqttConnection connection = Connection(broker);
        RecordDelivery* self = nullptr;
        RecordDelivery delivery(outbox, [&] {
            MqttConnection own = connection;
            own.cancel = self->CancelFlag();
            return MakeMqttPublisher(own);
        });
        self = &delivery;
        delivery.Start();
        Fill(outbox);  // the station goes on while the broker is away
        delivery.Wake();
        while (!delivery.Snapshot().lastError) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        state.ResumeTiming();
        if (!broker.Start()) return state.SkipWithError(broker.Error().c_str());
        while (outbox.WaitingCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        state.PauseTiming();
        const bool all = listener.WaitFor(kRecords, 30000).size() == kRecords;
        delivery.Stop();
        state.ResumeTiming();
        if (!all) state.SkipWithError("records missing");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_WorkerAfterOutage)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
