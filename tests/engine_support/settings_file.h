// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <map>
#include <string>
#include <vector>

// A throw-away settings file (.reg) for one test: the log's settings and the port map.
struct TestSettings {
    int logLevel = 5;
    std::string logPrefix;                     // "App": folder and prefix of the daily log file
    std::map<std::string, std::string> ports;  // device path -> COMn
};

// The .reg text of settings.
std::string SettingsFileText(const TestSettings& settings);

// Writes settings to path and makes it the settings file this process reads from now on
// ($VEXLOR_REGISTRY). False when the file cannot be written.
bool UseSettings(const std::string& path, const TestSettings& settings);

// The text of every log file (*.log) in folder, in name order.
std::string ReadLogFolder(const std::string& folder);

// How often needle occurs in text.
int CountOccurrences(const std::string& text, const std::string& needle);

// Milliseconds of the day at which each log line holding needle was written.
std::vector<long> LogTimesOf(const std::string& log, const std::string& needle);
