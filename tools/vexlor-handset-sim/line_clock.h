// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

// The time an in-process line keeps: when its bytes arrive, how long a read waits, how long a
// paced writer is held. The system's steady clock by default; a test of the line's timing gives
// it a manual clock instead, which moves its time on to whatever moment the line waits for, so
// such a test runs in one thread at once and never measures a sleep.
class LineClock {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~LineClock() = default;
    virtual Clock::time_point Now() = 0;
    // Waits on changed (lock held) until notified or until the moment.
    virtual void WaitUntil(std::condition_variable& changed, std::unique_lock<std::mutex>& lock,
                           Clock::time_point moment) = 0;
    // Holds the calling thread until the moment.
    virtual void SleepUntil(Clock::time_point moment) = 0;

    // The system's steady clock.
    static std::shared_ptr<LineClock> System();
};

// A clock that stands still until the line waits for a moment, then is there at once. For a
// line used from one thread only: nothing else can notify a wait that never blocks.
class ManualLineClock final : public LineClock {
public:
    Clock::time_point Now() override;
    void WaitUntil(std::condition_variable&, std::unique_lock<std::mutex>&, Clock::time_point moment) override;
    void SleepUntil(Clock::time_point moment) override;
    // Moves the time on by ms, as a test's own pause would.
    void Advance(int ms);

private:
    void MoveTo(Clock::time_point moment);

    std::mutex m_mutex;
    Clock::time_point m_now{};
};
