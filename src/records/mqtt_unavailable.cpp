// SPDX-License-Identifier: Apache-2.0
// The publisher of a build without libmosquitto (a Windows build configured without the libraries
// scripts/build-windows.sh builds): every connection says so, and the records wait in the store
// for a build that can send them.
#include "records/mqtt_publisher.h"

namespace {

class UnavailablePublisher final : public RecordPublisher {
public:
    PublishError Connect() override { return {PublishFault::kUnavailable, "this build of Vexlor has no MQTT client"}; }
    PublishError Publish(const std::vector<WaitingRecord>&, std::size_t& acknowledged) override {
        acknowledged = 0;
        return Connect();
    }
    PublishError Service() override { return Connect(); }
};

}  // namespace

std::unique_ptr<RecordPublisher> MakeMqttPublisher(const MqttConnection&) {
    return std::make_unique<UnavailablePublisher>();
}

bool MqttPublishingAvailable() { return false; }
