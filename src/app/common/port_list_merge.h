// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A port as a list of ports shows it: its COM name and the device behind it.
struct ListedPort {
    std::string port;
    std::string device;
};

// A row of the merged list: its port, and the row it was before (none for a new port).
struct MergedRow {
    ListedPort port;
    std::optional<size_t> before;
};

// The rows of a window's port list after the system's list is read again. listed: the system's
// ports in its order (a name given twice: the first wins); shown: the rows now. A port of both
// keeps its row (with the device listed now); a new port gets a new row; a row whose port left
// the list stays only where keep(row) says so (a run on it, counts to show). In port number
// order, rows of one number in the order they came.
std::vector<MergedRow> MergePortList(const std::vector<ListedPort>& listed, const std::vector<ListedPort>& shown,
                                     const std::function<bool(size_t row)>& keep);

// Whether merged shows the same ports with the same devices, in the same order, as shown.
bool SameRows(const std::vector<MergedRow>& merged, const std::vector<ListedPort>& shown);
