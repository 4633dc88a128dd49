// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>

// Figures that move a little at every tick (a rate, a time left, handsets per hour) are redrawn
// at most once a period, while anything else that changes is drawn at once: the eye needs no
// more, and each drawing costs the window.
class FigureThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit FigureThrottle(std::chrono::milliseconds every) : m_every(every) {}

    // Whether figures may be drawn at now: at once when something else changed (otherChange),
    // else once the period since the last drawing has passed. A true answer counts as a drawing.
    bool Due(Clock::time_point now, bool otherChange) {
        if (!otherChange && m_drawn && now - m_at < m_every) return false;
        m_at = now;
        m_drawn = true;
        return true;
    }
    // Whether the period since the last drawing has passed (or nothing was drawn yet).
    bool Elapsed(Clock::time_point now) const { return !m_drawn || now - m_at >= m_every; }

private:
    std::chrono::milliseconds m_every;
    Clock::time_point m_at;
    bool m_drawn = false;
};
