// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>
#include <vector>

// What the bench window remembers from one opening to the next, per user: the report file, the
// checked ports, Station, the silence box and the two times of a station.
struct BenchSettings {
    std::string reportPath;
    std::vector<std::string> checkedPorts;  // COM names
    bool station = false;
    bool silent = false;
    std::optional<unsigned> confirmSeconds;  // none: the window's default
    std::optional<unsigned> removalSeconds;

    bool operator==(const BenchSettings&) const = default;
};

// The file is a settings file of the same grammar as the machine's (.reg), one key of its own,
// so a technician can read it and an administrator can hand one out. A missing or unreadable file
// gives the defaults; values out of range are left out.
BenchSettings LoadBenchSettings(const std::string& path);
// Written beside and put in place whole. "" or the system's words for why it was not written.
std::string SaveBenchSettings(const std::string& path, const BenchSettings& settings);

// This user's bench settings file (bench.reg in the user's settings folder); "" where the
// system names no such folder.
std::string DefaultBenchSettingsFile();

// The most seconds either time takes: an hour (a longer wait is a mistyped figure).
inline constexpr unsigned kBenchMaxSeconds = 3600;
