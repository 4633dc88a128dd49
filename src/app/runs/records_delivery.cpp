// SPDX-License-Identifier: Apache-2.0
#include "app/runs/records_delivery.h"

#include "app/runs/run_records.h"
#include "records/delivery_settings.h"
#include "records/record_store.h"

std::unique_ptr<RecordDelivery> StartRecordsDelivery(RecordStore& store, RunRecords& runs, std::string& error) {
    error.clear();
    const PublishSettings settings = ReadPublishSettings(std::nullopt, std::nullopt);
    if (settings.url.empty()) return nullptr;
    const std::optional<MqttConnection> connection = MakeMqttConnection(settings, error);
    if (!connection) return nullptr;
    // Each publisher watches the delivery's own cancel flag, so a stop never waits on a broker;
    // the delivery is known once made, before its thread asks for the first publisher.
    auto self = std::make_shared<const RecordDelivery*>(nullptr);
    auto delivery = std::make_unique<RecordDelivery>(
        store,
        [connection = *connection, self] {
            MqttConnection own = connection;
            if (*self) own.cancel = (*self)->CancelFlag();
            return MakeMqttPublisher(own);
        },
        DeliveryTiming{}, DeliveryLockName(store.Path()));
    *self = delivery.get();
    delivery->Start();
    runs.OnStored([wake = delivery.get()] { wake->Wake(); });
    return delivery;
}
