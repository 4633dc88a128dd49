// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/local_time.h"

// The handsets a station has flashed done, by ESN: one put back on a cable (any port) is known
// again and never flashed twice. Every port's loop shares one; any thread.
class FlashedHandsets {
public:
    struct Entry {
        std::string port;
        uint32_t sequence = 0;  // its number on that port
        platform::LocalTime at;
    };

    void Add(uint32_t esn, const Entry& entry) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.emplace(esn, entry);  // the first time counts
    }
    std::optional<Entry> Find(uint32_t esn) const {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_entries.find(esn);
        if (found == m_entries.end()) return std::nullopt;
        return found->second;
    }

private:
    mutable std::mutex m_mutex;
    std::map<uint32_t, Entry> m_entries;
};
