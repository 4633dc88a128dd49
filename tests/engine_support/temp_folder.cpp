// SPDX-License-Identifier: Apache-2.0
#include "temp_folder.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace {

// A name nobody else is likely to pick at the same moment: random letters, mixed with the time
// and a per-process count in case the random source is weak.
std::string FreshName() {
    static std::atomic<uint64_t> counter{0};
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    uint64_t state = (static_cast<uint64_t>(device()) << 32) ^ device() ^
                     static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                     (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    std::string name = "vxe-";
    for (int i = 0; i < 8; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        name += kLetters[state % (sizeof kLetters - 1)];
    }
    return name;
}

}  // namespace

TempFolder::TempFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path path = base / FreshName();
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) {
            m_path = path.string();
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made in " + base.string());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}
