// SPDX-License-Identifier: Apache-2.0
#include "platform/output_clock.h"

#include <algorithm>
#include <thread>

namespace platform {

namespace {
constexpr auto kLookPause = std::chrono::milliseconds(2);
}  // namespace

namespace {
OutputClock::Clock::duration LineTime(size_t bytes, uint32_t baudrate) {
    const uint32_t rate = std::max<uint32_t>(baudrate, 50);
    return std::chrono::duration_cast<OutputClock::Clock::duration>(
        std::chrono::microseconds(static_cast<int64_t>(bytes) * 10 * 1000000 / rate));
}
}  // namespace

void OutputClock::Wrote(size_t bytes, uint32_t baudrate) {
    const Clock::rep lineTime = LineTime(bytes, baudrate).count();
    const Clock::rep now = Clock::now().time_since_epoch().count();
    const Clock::rep furthest = now + LineTime(kDriverBufferBytes, baudrate).count();
    // The line sends one byte after another: new bytes leave after those before them.
    Clock::rep last = m_lastLeaves.load();
    Clock::rep next = 0;
    do {
        next = std::min(std::max(last, now) + lineTime, std::max(furthest, now + lineTime));
    } while (!m_lastLeaves.compare_exchange_weak(last, next));
}

OutputClock::Clock::time_point OutputClock::SettledAt() const {
    return Clock::time_point(Clock::duration(m_lastLeaves.load())) + std::chrono::milliseconds(kSettleMs);
}

bool OutputClock::WaitUntilSent(const std::function<long()>& queued) const {
    const Clock::time_point settled = SettledAt();
    const Clock::time_point limit = std::max(settled, Clock::now()) + std::chrono::milliseconds(kQueueLimitMs);
    for (;;) {
        const Clock::time_point now = Clock::now();
        const bool driverEmpty = !queued || queued() <= 0;
        if (driverEmpty && now >= settled) return true;
        if (now >= limit) return false;
        std::this_thread::sleep_until(driverEmpty ? settled : std::min(limit, now + kLookPause));
    }
}

}  // namespace platform
