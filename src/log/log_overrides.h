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
    // missing. Empty means the current folder. Given, it switches the log on as level does (at the
    // default level 1 unless a level is given or set), but not one the settings or the level
    // override switch off with -1. A name that then does not fit is refused.
    std::optional<std::string> folder;
};

// Where a log that was asked for should have gone, and why it could not be opened there.
struct LogOpenFailure {
    std::string path;  // the file name, "App" included (as far as it was made)
    int error = 0;     // the system's error number; ENAMETOOLONG for a name that does not fit
};

// LogOpen with overrides; the same results. LogOpen(keyPath) is LogOpenWith(keyPath, {}).
// With LOGERR_OPEN_FILE, *failure (when not null) says where and why.
int32_t LogOpenWith(const char* keyPath, const LogOverrides& overrides, LogOpenFailure* failure = nullptr);
