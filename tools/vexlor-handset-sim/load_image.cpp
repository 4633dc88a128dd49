// SPDX-License-Identifier: Apache-2.0
#include "load_image.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

bool LoadImage::Write(uint32_t address, std::span<const uint8_t> data) {
    const uint64_t end = static_cast<uint64_t>(address) + data.size();
    if (end > MAX_BYTES) return false;
    if (end > m_bytes.size()) {
        m_bytes.resize(end, 0);
        m_written.resize(end, false);
    }
    std::copy(data.begin(), data.end(), m_bytes.begin() + address);
    std::fill(m_written.begin() + address, m_written.begin() + static_cast<ptrdiff_t>(end), true);
    m_received += data.size();
    return true;
}

void LoadImage::Clear() {
    m_bytes.clear();
    m_written.clear();
}

uint64_t LoadImage::HoleBytes() const {
    return static_cast<uint64_t>(std::count(m_written.begin(), m_written.end(), false));
}

std::string LoadImage::SaveTo(const std::string& path) const {
    const std::string temp = path + ".part";
    std::error_code ignored;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return "cannot create " + temp + ": " + std::strerror(errno);
        out.write(reinterpret_cast<const char*>(m_bytes.data()), static_cast<std::streamsize>(m_bytes.size()));
        out.close();
        if (!out) {
            const std::string error = "cannot write " + temp + ": " + std::strerror(errno);
            std::filesystem::remove(temp, ignored);
            return error;
        }
    }
    std::error_code error;
    std::filesystem::rename(temp, path, error);
    if (error) {
        std::filesystem::remove(temp, ignored);
        return "cannot rename " + temp + " to " + path + ": " + error.message();
    }
    return {};
}
