// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Log settings given for one run (the headless tool's --log-level and --log-dir) that win over
// those of the settings file. Kept apart from log.h so that its many includers stay light.
struct LogOverrides {
    // Replaces "Level". Given, it switches the log on even without the settings key (AppendOption
    // then 0, App empty); -1 switches it off.
    std::optional<int32_t> level;
    // Replaces the folder part of "App" (up to and including its last separator: '/', and on
    // Windows '\\' as well) and keeps the file name prefix after it; a separator is added when
    // missing. Empty means the current folder. Alone it does not switch on a log the settings leave
    // off. A name that then does not fit is refused.
    std::optional<std::string> folder;
};

// LogOpen with overrides; the same results. LogOpen(keyPath) is LogOpenWith(keyPath, {}).
int32_t LogOpenWith(const char* keyPath, const LogOverrides& overrides);
