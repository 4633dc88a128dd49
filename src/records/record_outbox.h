// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>
// A stored record waiting to be delivered to the factory's broker.
struct WaitingRecord {
    std::int64_t sequence = 0;  // its place in the store's chain (delivery order)
    std::string recordId;       // UUID
    std::string stationHost;    // topic level
    std::string port;           // topic level
    std::string payload;        // JSON: the stored record with its record ID and hashes
};
// What delivery needs of the store: records not yet acknowledged, oldest first.
class RecordOutbox {
public:
    virtual ~RecordOutbox() = default;
    virtual std::vector<WaitingRecord> Waiting(std::size_t max) = 0;
    virtual bool MarkDelivered(std::int64_t sequence) = 0;
    virtual std::size_t WaitingCount() = 0;
};
