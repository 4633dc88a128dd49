// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <algorithm>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "records/record_outbox.h"

// An outbox in memory, standing in for the record store: records added by the test wait until
// marked delivered. Safe to use from the test and the delivery thread at once.
class MemoryOutbox : public RecordOutbox {
public:
    // Adds a waiting record; its payload names its sequence so a receiver's order can be checked
    // (padding makes it as long as a real record).
    WaitingRecord Add(const std::string& host, const std::string& port, const std::string& padding = "") {
        std::lock_guard lock(m_mutex);
        WaitingRecord record;
        record.sequence = ++m_last;
        record.recordId =
            "00000000-0000-4000-8000-" + std::string(12 - std::to_string(m_last).size(), '0') + std::to_string(m_last);
        record.stationHost = host;
        record.port = port;
        record.payload = "{\"record_id\":\"" + record.recordId + "\",\"sequence\":" + std::to_string(m_last) +
                         (padding.empty() ? "" : ",\"padding\":\"" + padding + "\"") + "}";
        m_waiting.push_back(record);
        return record;
    }

    std::vector<WaitingRecord> Waiting(std::size_t max) override {
        std::lock_guard lock(m_mutex);
        return {m_waiting.begin(), m_waiting.begin() + static_cast<long>(std::min(max, m_waiting.size()))};
    }
    bool MarkDelivered(std::int64_t sequence) override {
        std::lock_guard lock(m_mutex);
        if (m_refuseMarks) return false;
        const auto it = std::find_if(m_waiting.begin(), m_waiting.end(),
                                     [&](const WaitingRecord& record) { return record.sequence == sequence; });
        if (it == m_waiting.end()) return false;
        m_waiting.erase(it);
        m_delivered.push_back(sequence);
        return true;
    }
    std::size_t WaitingCount() override {
        std::lock_guard lock(m_mutex);
        return m_waiting.size();
    }

    std::vector<std::int64_t> Delivered() {
        std::lock_guard lock(m_mutex);
        return m_delivered;
    }
    // A store that can no longer write: every MarkDelivered fails.
    void RefuseMarks() {
        std::lock_guard lock(m_mutex);
        m_refuseMarks = true;
    }

private:
    std::mutex m_mutex;
    std::int64_t m_last = 0;
    std::deque<WaitingRecord> m_waiting;  // delivered from the front: a deque keeps that cheap
    std::vector<std::int64_t> m_delivered;
    bool m_refuseMarks = false;
};
