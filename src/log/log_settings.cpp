// SPDX-License-Identifier: Apache-2.0
#include "log/log_settings.h"

#include <cstdio>

#include "platform/folder_path.h"
#include "platform/registry.h"

namespace diaglog {

std::optional<LogSettings> ReadLogSettings(const char* keyPath) {
    if (!keyPath) return std::nullopt;
    platform::Registry registry = platform::Registry::Load();
    if (!registry.HasKey(keyPath)) return std::nullopt;
    LogSettings settings;
    if (auto level = registry.ReadDword(keyPath, "Level")) settings.level = static_cast<int32_t>(*level);
    if (auto append = registry.ReadDword(keyPath, "AppendOption")) settings.appendOption = *append;
    if (auto app = registry.ReadString(keyPath, "App")) settings.app = *app;
    return settings;
}

std::optional<LogSettings> ApplyOverrides(std::optional<LogSettings> settings, const LogOverrides& overrides) {
    if ((overrides.level || overrides.folder) && !settings) settings = LogSettings{};
    if (overrides.level) settings->level = *overrides.level;
    if (settings && overrides.folder) {
        // Split and joined as the system writes paths: on Windows "C:\Vexlor\logs\" is all folder.
        const std::string prefix = settings->app.substr(platform::FolderPartLength(settings->app));
        settings->app = platform::FolderPrefix(*overrides.folder) + prefix;
    }
    return settings;
}

std::optional<std::string> LogFileName(const std::string& app, const platform::LocalTime& date) {
    char name[kFileNameMax];
    int n = std::snprintf(name, sizeof name, "%s%04d%02d%02d.log", app.c_str(), date.year, date.month, date.day);
    // A terminator inside the text would hide part of it: such a name is refused as well.
    if (n < 0 || static_cast<size_t>(n) >= sizeof name || app.find('\0') != std::string::npos) return std::nullopt;
    return std::string(name, static_cast<size_t>(n));
}

}  // namespace diaglog
