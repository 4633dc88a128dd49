// SPDX-License-Identifier: Apache-2.0
#include "settings_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "temp_folder.h"

namespace {
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}
}  // namespace

std::string SettingsFileText(const TestSettings& settings) {
    char level[32];
    std::snprintf(level, sizeof level, "dword:%08x", static_cast<unsigned>(settings.logLevel));
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n";
    text += "\"Level\"=" + std::string(level) + "\n";
    text += "\"AppendOption\"=dword:00000001\n";
    text += "\"App\"=" + Quoted(settings.logPrefix) + "\n\n";
    text += "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n";
    for (const auto& [device, port] : settings.ports) text += Quoted(device) + "=" + Quoted(port) + "\n";
    return text;
}

bool UseSettings(const std::string& path, const TestSettings& settings) {
    if (!WriteWholeFile(path, SettingsFileText(settings))) return false;
#ifdef _WIN32
    return _putenv_s("VEXLOR_REGISTRY", path.c_str()) == 0;
#else
    return setenv("VEXLOR_REGISTRY", path.c_str(), 1) == 0;
#endif
}

std::string ReadLogFolder(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".log") names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    std::string text;
    for (const auto& name : names) text += ReadWholeFile(name);
    return text;
}

int CountOccurrences(const std::string& text, const std::string& needle) {
    if (needle.empty()) return 0;
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
    return count;
}

std::vector<long> LogTimesOf(const std::string& log, const std::string& needle) {
    std::vector<long> times;
    size_t lineStart = 0;
    while (lineStart < log.size()) {
        size_t lineEnd = log.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = log.size();
        const std::string line = log.substr(lineStart, lineEnd - lineStart);
        int h = 0, m = 0, s = 0, ms = 0;
        const size_t tab = line.find('\t');
        if (line.find(needle) != std::string::npos && tab != std::string::npos &&
            std::sscanf(line.c_str() + tab + 1, "%*d-%*d-%*d %d:%d:%d:%d", &h, &m, &s, &ms) == 4) {
            times.push_back(((h * 60L + m) * 60L + s) * 1000L + ms);
        }
        lineStart = lineEnd + 1;
    }
    return times;
}
