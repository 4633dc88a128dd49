// SPDX-License-Identifier: Apache-2.0
#include "app/common/bench_settings.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/registry.h"
#include "platform/user_folder.h"

namespace {

constexpr const char* kKey = "SOFTWARE\\Vexlor\\Bench";

// A .reg string value: backslashes and quotes escaped, line ends (which the grammar cannot hold)
// left out.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\r' || c == '\n') continue;
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string Dword(unsigned value) {
    char text[24];
    std::snprintf(text, sizeof text, "dword:%08x", value);
    return text;
}

std::optional<unsigned> Seconds(const platform::Registry& registry, const char* name) {
    const auto value = registry.ReadDword(kKey, name);
    if (!value || *value == 0 || *value > kBenchMaxSeconds) return std::nullopt;
    return *value;
}

}  // namespace

BenchSettings LoadBenchSettings(const std::string& path) {
    BenchSettings settings;
    if (path.empty()) return settings;
    const platform::Registry registry = platform::Registry::LoadFile(path);
    settings.reportPath = registry.ReadString(kKey, "Report").value_or("");
    settings.station = registry.ReadDword(kKey, "Station").value_or(0) != 0;
    settings.silent = registry.ReadDword(kKey, "Silent").value_or(0) != 0;
    settings.confirmSeconds = Seconds(registry, "ConfirmSeconds");
    settings.removalSeconds = Seconds(registry, "RemovalSeconds");
    const std::string checked = registry.ReadString(kKey, "Checked").value_or("");
    size_t begin = 0;
    while (begin < checked.size()) {
        size_t end = checked.find(',', begin);
        if (end == std::string::npos) end = checked.size();
        if (end > begin) settings.checkedPorts.push_back(checked.substr(begin, end - begin));
        begin = end + 1;
    }
    return settings;
}

std::string SaveBenchSettings(const std::string& path, const BenchSettings& settings) {
    std::string checked;
    for (const std::string& port : settings.checkedPorts) checked += (checked.empty() ? "" : ",") + port;
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\";
    text += kKey;
    text += "]\r\n\"Report\"=" + Quoted(settings.reportPath) + "\r\n";
    text += "\"Checked\"=" + Quoted(checked) + "\r\n";
    text += "\"Station\"=" + Dword(settings.station) + "\r\n";
    text += "\"Silent\"=" + Dword(settings.silent) + "\r\n";
    if (settings.confirmSeconds) text += "\"ConfirmSeconds\"=" + Dword(*settings.confirmSeconds) + "\r\n";
    if (settings.removalSeconds) text += "\"RemovalSeconds\"=" + Dword(*settings.removalSeconds) + "\r\n";

    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
    if (error) return error.message();
    const fs::path temporary = target.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())) || !out.flush()) {
            const std::string why = std::generic_category().message(errno ? errno : EIO);
            fs::remove(temporary, error);
            return why;
        }
    }
    fs::rename(temporary, target, error);
    if (error) {
        const std::string why = error.message();
        fs::remove(temporary, error);
        return why;
    }
    return "";
}

std::string DefaultBenchSettingsFile() {
    const std::string folder = platform::UserSettingsFolder();
    return folder.empty() ? "" : folder + "bench.reg";
}
