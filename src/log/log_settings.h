// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "log/log_overrides.h"
#include "platform/local_time.h"

namespace diaglog {

// The three settings of the log, with the values they keep when absent from the key.
struct LogSettings {
    int32_t level = 1;          // "Level": highest level written; -1 switches the log off
    uint32_t appendOption = 0;  // "AppendOption": non-zero continues the day's file
    std::string app;            // "App": folder and/or prefix put before the date
};

// Reads "Level", "AppendOption" and "App" from keyPath in the settings file in use.
// Nothing when the key (or the file) does not exist. A value of the wrong type counts as absent.
std::optional<LogSettings> ReadLogSettings(const char* keyPath);

// settings (nothing: no key) with the overrides of one run applied, as LogOverrides describes.
std::optional<LogSettings> ApplyOverrides(std::optional<LogSettings> settings, const LogOverrides& overrides);

// The file name, "App" text included, must fit in this many characters with its terminator.
constexpr size_t kFileNameMax = 100;

// "%s%04d%02d%02d.log" from app and the date. Nothing when the name would not fit in
// kFileNameMax: an "App" text too long is refused rather than cut, since a cut folder path
// would put the log somewhere nobody looks.
std::optional<std::string> LogFileName(const std::string& app, const platform::LocalTime& date);

}  // namespace diaglog
