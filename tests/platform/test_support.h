// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the platform tests need on every system: a scratch folder and environment changes.
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace platform::test {

// A new empty folder in the system's temporary folder; empty when none could be made.
inline std::filesystem::path MakeScratchFolder(const std::string& prefix) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::error_code error;
        std::filesystem::path folder =
            std::filesystem::temp_directory_path(error) / (prefix + std::to_string(random() % 1000000000u));
        if (!error && std::filesystem::create_directory(folder, error)) return folder;
    }
    return {};
}

// Sets name to value; on Windows an empty value removes the variable, which reads the same.
inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

}  // namespace platform::test
