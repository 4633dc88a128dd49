// SPDX-License-Identifier: Apache-2.0
#include "app/common/port_list_merge.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "serial/serial_port_list.h"

std::vector<MergedRow> MergePortList(const std::vector<ListedPort>& listed, const std::vector<ListedPort>& shown,
                                     const std::function<bool(size_t row)>& keep) {
    std::map<std::string, size_t> known;
    for (size_t row = 0; row < shown.size(); ++row) known.emplace(shown[row].port, row);
    std::set<std::string> taken;
    std::vector<std::pair<int32_t, MergedRow>> next;
    for (const ListedPort& port : listed) {
        if (!taken.insert(port.port).second) continue;  // listed twice: the first wins
        const auto old = known.find(port.port);
        MergedRow row{port, old == known.end() ? std::nullopt : std::optional<size_t>(old->second)};
        next.emplace_back(PortNumberOf(port.port.c_str()), std::move(row));
    }
    for (size_t row = 0; row < shown.size(); ++row) {
        if (taken.count(shown[row].port) == 0 && keep && keep(row)) {
            next.emplace_back(PortNumberOf(shown[row].port.c_str()), MergedRow{shown[row], row});
        }
    }
    std::stable_sort(next.begin(), next.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<MergedRow> merged;
    merged.reserve(next.size());
    for (auto& entry : next) merged.push_back(std::move(entry.second));
    return merged;
}

bool SameRows(const std::vector<MergedRow>& merged, const std::vector<ListedPort>& shown) {
    return merged.size() == shown.size() &&
           std::equal(merged.begin(), merged.end(), shown.begin(), [](const MergedRow& a, const ListedPort& b) {
               return a.port.port == b.port && a.port.device == b.device;
           });
}
