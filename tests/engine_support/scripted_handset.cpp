// SPDX-License-Identifier: Apache-2.0
#include "scripted_handset.h"

#include <algorithm>

#include "link/crc.h"
#include "link/packet_packer.h"
#include "serial/phone_mode.h"

namespace {
const std::vector<uint8_t> kDiagDetected = {0x13, 0x61, 0x74, 0x0D, 0x62, 0x09, 0x7E};
const std::vector<uint8_t> kDlDetected = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};
}  // namespace

void ScriptedHandset::SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handler = std::move(handler);
}

std::vector<uint8_t> ScriptedHandset::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

std::vector<std::vector<uint8_t>> ScriptedHandset::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

int ScriptedHandset::ProbeCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_probes;
}

std::vector<uint8_t> ScriptedHandset::DlFrame(const std::vector<uint8_t>& payload) {
    return PackPacket(payload, 0x7E, 0x7E);
}

std::vector<uint8_t> ScriptedHandset::DiagFrame(const std::vector<uint8_t>& payload) {
    return PackPacket(payload, 0, 0x7E);
}

bool ScriptedHandset::Hear(std::span<const uint8_t> bytes, uint32_t, std::vector<InProcessLine::Answer>& answers) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    const std::vector<uint8_t> probe(kDetectionPacket, kDetectionPacket + kDetectionPacketSize);
    for (;;) {
        if (m_pending.empty()) return true;
        if (m_pending[0] == probe[0]) {
            const size_t have = std::min(m_pending.size(), probe.size());
            if (std::equal(m_pending.begin(), m_pending.begin() + static_cast<long>(have), probe.begin())) {
                if (have < probe.size()) return true;  // the rest of the probe is on its way
                m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(probe.size()));
                ++m_probes;
                if (m_answer == Answer::Diag) answers.push_back({kDiagDetected, 0});
                if (m_answer == Answer::Dl) answers.push_back({kDlDetected, 0});
                continue;
            }
        }
        const auto flag = std::find(m_pending.begin(), m_pending.end(), 0x7E);
        if (flag == m_pending.end()) return true;
        std::vector<uint8_t> raw(m_pending.begin(), flag + 1);
        m_pending.erase(m_pending.begin(), flag + 1);
        m_received.insert(m_received.end(), raw.begin(), raw.end());
        if (raw.size() == 1) continue;  // an opening flag
        std::vector<uint8_t> frame;
        for (size_t i = 0; i + 1 < raw.size(); ++i) {
            if (raw[i] == 0x7D && i + 2 < raw.size()) {
                frame.push_back(raw[++i] ^ 0x20);
            } else {
                frame.push_back(raw[i]);
            }
        }
        if (frame.size() < 3 || Crc16Calc(frame.data(), static_cast<uint32_t>(frame.size() * 8)) != CRC16_GOOD_FRAME) {
            continue;
        }
        frame.resize(frame.size() - 2);
        m_requests.push_back(frame);
        if (!m_handler) continue;
        for (Reply& reply : m_handler(frame)) answers.push_back({std::move(reply.bytes), reply.delayMs});
    }
}
