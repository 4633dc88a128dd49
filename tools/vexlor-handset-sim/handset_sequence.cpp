// SPDX-License-Identifier: Apache-2.0
#include "handset_sequence.h"

#include <algorithm>
#include <cstdio>

namespace {
std::chrono::milliseconds Ms(uint32_t ms) { return std::chrono::milliseconds(ms); }
}  // namespace

HandsetSequence::HandsetSequence(const SimOptions& options, NoteSink note)
    : m_esnBase(options.esnBase), m_note(std::move(note)) {
    m_handsets.push_back(BenchHandset{options.handset, options.times});
    m_handsets.insert(m_handsets.end(), options.nextHandsets.begin(), options.nextHandsets.end());
    PlugIn(0);
}

void HandsetSequence::Note(const std::string& text) const {
    if (m_note) m_note(text);
}

void HandsetSequence::PlugIn(size_t index) {
    m_index = index;
    HandsetConfig& config = m_handsets[index].handset;
    if (!config.esn) config.esn = m_esnBase + static_cast<uint32_t>(index + 1);
    m_model = std::make_unique<HandsetModel>(config);
    m_model->SetNoteSink(m_note);
    m_state = State::kOn;
    m_turnEnded.reset();
    // The first handset is simply there; later ones arrive, and the trace says which.
    if (index > 0 || m_handsets.size() > 1) {
        char esn[16];
        std::snprintf(esn, sizeof esn, "%08X", static_cast<unsigned>(*config.esn));
        Note("handset " + std::to_string(Number()) + " plugged in (platform " + config.platform + ", start mode " +
             HandsetModeName(config.startMode) + ", ESN " + esn + ")");
    }
}

std::optional<HandsetSequence::Clock::time_point> HandsetSequence::UnplugAt() const {
    const HandsetTimes& times = m_handsets[m_index].times;
    // Until its turn has ended the handset stays on the cable, however long that takes.
    if (!times.unplugAfterMs || !m_turnEnded || m_state == State::kOff || m_state == State::kDone) return std::nullopt;
    return *m_turnEnded + Ms(*times.unplugAfterMs);
}

std::optional<HandsetSequence::Clock::time_point> HandsetSequence::NextChange() const {
    std::optional<Clock::time_point> next = UnplugAt();
    auto sooner = [&next](Clock::time_point at) { next = next ? std::min(*next, at) : at; };
    if (m_state == State::kRestarting) sooner(*m_turnEnded);
    if (m_state == State::kOff) sooner(m_offAt + Ms(m_handsets[m_index].times.swapMs));
    return next;
}

HandsetModel* HandsetSequence::Listening(Clock::time_point now) {
    for (;;) {
        const HandsetTimes& times = m_handsets[m_index].times;
        if (m_state == State::kRestarting && now >= *m_turnEnded) {
            m_model->PowerOn(times.restartMode);
            m_state = State::kOn;
            Note(std::string("restarted in ") + HandsetModeName(times.restartMode) + " mode");
            continue;
        }
        if (const auto unplug = UnplugAt(); unplug && now >= *unplug) {
            m_state = State::kOff;
            m_offAt = *unplug;
            Note("unplugged");
            if (m_index + 1 == m_handsets.size()) {
                m_state = State::kDone;
                Note("no more handsets");
            }
            continue;
        }
        if (m_state == State::kOff && now >= m_offAt + Ms(times.swapMs)) {
            PlugIn(m_index + 1);
            continue;
        }
        break;
    }
    return m_state == State::kOn ? m_model.get() : nullptr;
}

void HandsetSequence::Heard(const HandsetEvents& events, Clock::time_point now) {
    const HandsetTimes& times = m_handsets[m_index].times;
    // A refusal ends the turn once it is answered (a NAND write's after the commit's time).
    if (events.refused) m_turnEnded = now + Ms(AnswerDelayMs(events));
    if (!events.reset || (!times.restartAfterMs && !times.neverRestarts)) return;
    if (times.neverRestarts) {
        m_state = State::kDead;
        m_turnEnded = now;
        Note("never restarts");
        return;
    }
    m_state = State::kRestarting;
    m_turnEnded = now + Ms(*times.restartAfterMs);
    Note("restarting (silent for " + std::to_string(*times.restartAfterMs) + " ms)");
}

bool HandsetSequence::PortListed() const {
    return m_state != State::kRestarting || !m_handsets[m_index].times.portLeaves;
}

uint32_t HandsetSequence::AnswerDelayMs(const HandsetEvents& events) const {
    return events.nandWrite ? m_handsets[m_index].times.commitMs : 0;
}
