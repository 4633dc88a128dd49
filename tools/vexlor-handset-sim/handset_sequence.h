// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "handset_model.h"
#include "sim_options.h"

// The handsets one simulator plays in turn on its cable, as a bench sees them: each restarts
// after its reset (silent for its restart time, then answering in its restart mode), is taken
// off the cable a while after its turn ended (its restart, or a refused download step; silent
// then), and the next one is plugged in after the swap time (HandsetTimes). Time is what the caller says it is, so the
// terminal's loop and the in-process line (with its own, possibly manual, clock) play the same bench. Without any of
// the times the one handset stays on the cable for good and is back in its start mode at once after a reset.
class HandsetSequence {
public:
    using Clock = std::chrono::steady_clock;
    using NoteSink = std::function<void(const std::string&)>;

    // The first handset (options.handset, options.times) is on the cable from the start.
    explicit HandsetSequence(const SimOptions& options, NoteSink note = nullptr);

    // The handset that hears bytes arriving at now, or null while none answers (restarting, never
    // restarting, off the cable, between two handsets, after the last). Moves the turns on first.
    HandsetModel* Listening(Clock::time_point now);
    // What the handset that listened made of bytes it heard at now (its Receive's events): a
    // reset or a refused download step ends its turn.
    void Heard(const HandsetEvents& events, Clock::time_point now);
    // How long the answer to what gave events waits: the commit time after a write to NAND.
    uint32_t AnswerDelayMs(const HandsetEvents& events) const;
    // When the turns next change by themselves (a restart, an unplugging, a handset plugged in);
    // none while nothing is due.
    std::optional<Clock::time_point> NextChange() const;

    // False while the handset restarts with --port-leaves: its port is not in the port list.
    bool PortListed() const;

    // The handset of the current turn (the latest plugged in, also while it is silent).
    HandsetModel& Current() { return *m_model; }
    const HandsetModel& Current() const { return *m_model; }
    // Its number in the sequence, from 1.
    size_t Number() const { return m_index + 1; }

private:
    enum class State { kOn, kRestarting, kDead, kOff, kDone };

    void PlugIn(size_t index);
    std::optional<Clock::time_point> UnplugAt() const;
    void Note(const std::string& text) const;

    uint32_t m_esnBase = 0;
    std::vector<BenchHandset> m_handsets;
    NoteSink m_note;
    size_t m_index = 0;
    std::unique_ptr<HandsetModel> m_model;
    State m_state = State::kOn;
    // When its turn ended: its restart (done or due), its reset if it never restarts, or its
    // refusal of a download step; none while it goes on.
    std::optional<Clock::time_point> m_turnEnded;
    Clock::time_point m_offAt{};  // when it was taken off
};
