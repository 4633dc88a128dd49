// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <memory>
#include <string>

#include "records/delivery_worker.h"
#include "records/mqtt_publisher.h"

class RecordStore;
class RunRecords;

// A window's delivery of its records to the factory's broker, as the settings file names it
// ("publish", "publish_ca"; the password from VEXLOR_MQTT_PASSWORD): started, and woken by each
// record the runs store. Null where no broker is named, or (with error set to why) where the
// one named is not a broker's URL. store and runs must outlive it.
// The delivery of store's records to connection's broker, not yet started: each publisher it makes
// watches the delivery's own cancel flag, so a stop never waits on a broker. store must outlive it.
std::unique_ptr<RecordDelivery> MakeRecordDelivery(RecordStore& store, const MqttConnection& connection);

std::unique_ptr<RecordDelivery> StartRecordsDelivery(RecordStore& store, RunRecords& runs, std::string& error);
