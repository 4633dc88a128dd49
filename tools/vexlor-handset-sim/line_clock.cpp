// SPDX-License-Identifier: Apache-2.0
#include "line_clock.h"

#include <thread>

namespace {

class SystemLineClock final : public LineClock {
public:
    Clock::time_point Now() override { return Clock::now(); }
    void WaitUntil(std::condition_variable& changed, std::unique_lock<std::mutex>& lock,
                   Clock::time_point moment) override {
        changed.wait_until(lock, moment);
    }
    void SleepUntil(Clock::time_point moment) override { std::this_thread::sleep_until(moment); }
};

}  // namespace

std::shared_ptr<LineClock> LineClock::System() {
    static const std::shared_ptr<LineClock> clock = std::make_shared<SystemLineClock>();
    return clock;
}

LineClock::Clock::time_point ManualLineClock::Now() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_now;
}

void ManualLineClock::MoveTo(Clock::time_point moment) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (moment > m_now && moment != Clock::time_point::max()) m_now = moment;
}

void ManualLineClock::WaitUntil(std::condition_variable&, std::unique_lock<std::mutex>&, Clock::time_point moment) {
    MoveTo(moment);
}

void ManualLineClock::SleepUntil(Clock::time_point moment) { MoveTo(moment); }

void ManualLineClock::Advance(int ms) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_now += std::chrono::milliseconds(ms);
}
