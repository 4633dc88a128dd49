// SPDX-License-Identifier: Apache-2.0
#include "chaos_plan.h"

#include <algorithm>

namespace {

// Relative weights of the faults once a piece is chosen; a dropped line ends the run, so it
// is drawn less often than the faults the tool can live through or report.
struct Weighted {
    ChaosPlan::Fault fault;
    int weight;
};
constexpr Weighted kFaults[] = {
    {ChaosPlan::Fault::Garbage, 2},   {ChaosPlan::Fault::Drop, 2},  {ChaosPlan::Fault::Corrupt, 2},
    {ChaosPlan::Fault::Duplicate, 2}, {ChaosPlan::Fault::Delay, 2}, {ChaosPlan::Fault::Disconnect, 1},
};
constexpr size_t kGarbageMax = 16;
constexpr size_t kDropMax = 4;

}  // namespace

ChaosPlan::ChaosPlan(uint64_t seed, int percent, int maxDelayMs)
    : m_random(seed), m_percent(std::clamp(percent, 0, 100)), m_maxDelayMs(std::max(maxDelayMs, 1)) {}

size_t ChaosPlan::Below(size_t limit) { return limit == 0 ? 0 : static_cast<size_t>(m_random() % limit); }

const char* ChaosPlan::FaultName(Fault fault) {
    switch (fault) {
    case Fault::None: return "none";
    case Fault::Garbage: return "garbage";
    case Fault::Drop: return "drop";
    case Fault::Corrupt: return "corrupt";
    case Fault::Duplicate: return "duplicate";
    case Fault::Delay: return "delay";
    case Fault::Disconnect: return "disconnect";
    }
    return "?";
}

ChaosPlan::Decision ChaosPlan::Apply(std::vector<uint8_t>& piece) {
    Decision decision;
    if (piece.empty() || static_cast<int>(Below(100)) >= m_percent) return decision;

    int total = 0;
    for (const Weighted& w : kFaults) total += w.weight;
    int pick = static_cast<int>(Below(static_cast<size_t>(total)));
    for (const Weighted& w : kFaults) {
        if (pick < w.weight) {
            decision.fault = w.fault;
            break;
        }
        pick -= w.weight;
    }

    std::string detail;
    switch (decision.fault) {
    case Fault::Garbage: {
        const size_t count = 1 + Below(kGarbageMax);
        const size_t at = Below(piece.size() + 1);
        std::vector<uint8_t> bytes(count);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(m_random());
        piece.insert(piece.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin(), bytes.end());
        detail = std::to_string(count) + " bytes at " + std::to_string(at);
        break;
    }
    case Fault::Drop: {
        const size_t count = std::min(piece.size(), 1 + Below(kDropMax));
        for (size_t i = 0; i < count; ++i)
            piece.erase(piece.begin() + static_cast<std::ptrdiff_t>(Below(piece.size())));
        detail = std::to_string(count) + " bytes";
        break;
    }
    case Fault::Corrupt: {
        const size_t at = Below(piece.size());
        piece[at] ^= static_cast<uint8_t>(1 + Below(255));
        detail = "byte " + std::to_string(at);
        break;
    }
    case Fault::Duplicate: {
        const std::vector<uint8_t> copy = piece;
        piece.insert(piece.end(), copy.begin(), copy.end());
        break;
    }
    case Fault::Delay:
        decision.delayMs =
            m_maxDelayMs / 4 + static_cast<int>(Below(static_cast<size_t>(m_maxDelayMs - m_maxDelayMs / 4) + 1));
        detail = std::to_string(decision.delayMs) + " ms";
        break;
    case Fault::Disconnect:
    case Fault::None: break;
    }
    decision.note = std::string(FaultName(decision.fault)) + (detail.empty() ? "" : " " + detail);
    return decision;
}
