// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "records/mqtt_url.h"
#include "records/record_outbox.h"

// Why records did not reach the broker, each with its own advice for the technician.
enum class PublishFault {
    kNone,
    kUnavailable,  // this build has no MQTT client
    kCaFile,       // the CA file cannot be read
    kUnreachable,  // no connection: refused, no route, no answer in time
    kLogin,        // the broker refused the user name or password
    kTls,          // the TLS handshake failed (a wrong CA, a certificate for another host)
    kLost,         // the connection broke, or acknowledgements stopped coming
    kStore,        // the store could not mark a delivered record
    kStopped,      // the program is ending
};

struct PublishError {
    PublishFault fault = PublishFault::kNone;
    std::string detail;  // the library's or the system's words, for the message and the log
    explicit operator bool() const { return fault != PublishFault::kNone; }
};

// How to reach the broker, and how long each step may take: nothing waits without bound.
struct MqttConnection {
    MqttTarget target;
    std::string password;  // from VEXLOR_MQTT_PASSWORD; used only with a user name
    std::string caFile;    // mqtts: the CA that signed the broker's certificate; empty: the system's
    std::chrono::milliseconds connectTimeout{5000};
    std::chrono::milliseconds ackTimeout{10000};  // since the last acknowledgement
    const std::atomic<bool>* cancel = nullptr;    // set: every wait ends at once (kStopped)
};

// One connection to the broker. Records go out at QoS 1, not retained, in the order given.
class RecordPublisher {
public:
    virtual ~RecordPublisher() = default;
    virtual PublishError Connect() = 0;
    // Publishes records in order; acknowledged receives how many of the first records the broker
    // acknowledged (PUBACK), which is all of them when no fault is returned.
    virtual PublishError Publish(const std::vector<WaitingRecord>& records, std::size_t& acknowledged) = 0;
    // Keeps an idle connection alive; a fault when it is gone.
    virtual PublishError Service() = 0;
};

// A publisher over libmosquitto, or, in a build without it, one whose Connect says kUnavailable.
std::unique_ptr<RecordPublisher> MakeMqttPublisher(const MqttConnection& connection);
bool MqttPublishingAvailable();
