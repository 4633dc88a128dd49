// SPDX-License-Identifier: Apache-2.0
#include "app/runs/records_delivery.h"

#include "app/runs/run_records.h"
#include "records/delivery_settings.h"
#include "records/record_store.h"

std::unique_ptr<RecordDelivery> MakeRecordDelivery(RecordStore& store, const MqttConnection& connection) {
    // The delivery is known once made, before its thread asks for the first publisher.
    auto self = std::make_shared<const RecordDelivery*>(nullptr);
    auto delivery = std::make_unique<RecordDelivery>(
        store,
        [connection, self] {
            MqttConnection own = connection;
            if (*self) own.cancel = (*self)->CancelFlag();
            return MakeMqttPublisher(own);
        },
        DeliveryTiming{}, DeliveryLockName(store.Path()));
    *self = delivery.get();
    return delivery;
}

std::unique_ptr<RecordDelivery> StartRecordsDelivery(RecordStore& store, RunRecords& runs, std::string& error) {
    error.clear();
    const PublishSettings settings = ReadPublishSettings(std::nullopt, std::nullopt);
    if (settings.url.empty()) return nullptr;
    const std::optional<MqttConnection> connection = MakeMqttConnection(settings, error);
    if (!connection) return nullptr;
    auto delivery = MakeRecordDelivery(store, *connection);
    delivery->Start();
    runs.OnStored([wake = delivery.get()] { wake->Wake(); });
    return delivery;
}
