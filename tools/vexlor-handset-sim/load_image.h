// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The firmware load as the handset receives it. Every write packet names the load offset of its
// data, so packets land where their address says whatever order they come in, and a packet sent
// again overwrites the same bytes with its (identical) data. The image is the bytes from offset 0
// up to the end of the furthest packet; bytes no packet covered read as 0 and are counted.
class LoadImage {
public:
    // Largest image accepted: far above any load, low enough to refuse absurd addresses.
    static constexpr uint64_t MAX_BYTES = uint64_t{256} * 1024 * 1024;

    // Stores data at address; false (nothing stored) when it would end past MAX_BYTES.
    bool Write(uint32_t address, std::span<const uint8_t> data);

    void Clear();

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    // Bytes of the image that no packet has written.
    uint64_t HoleBytes() const;
    // Data bytes of every packet stored so far, repeats included (never reset by Clear).
    uint64_t ReceivedBytes() const { return m_received; }

    // Writes the image to path through a temporary file and a rename, so a reader never sees
    // half of it. Empty string on success, else the error text.
    std::string SaveTo(const std::string& path) const;

private:
    std::vector<uint8_t> m_bytes;
    std::vector<bool> m_written;
    uint64_t m_received = 0;
};
