// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "handset_sequence.h"
#include "in_process_line.h"
#include "sim_options.h"

// The simulated handset on an in-process line: the tool's channel talks to HandsetModel exactly
// as it would through the program on a pseudo-terminal, without a terminal, a second process or
// any system call. Of the simulator's options it takes the handset (start mode and every fault
// knob, --disconnect-after among them), the rates it hears (--only-baud, else the three of a
// handset's line: bytes at another rate are noise, no answer, and the handset forgets a
// half-received frame), --silent, --reply-pieces (each piece arrives
// after its pause, without holding the writer), --throttle (line time in both directions) and
// the bench's sequence of handsets with their times (--restart-after, --unplug-after,
// --swap-time, --commit-time, --then), kept by the line's clock; the options about files,
// terminals and the process do not apply here.
class ModelLine final : public InProcessLine {
public:
    explicit ModelLine(const SimOptions& options, std::shared_ptr<LineClock> clock = nullptr);

    // The handset is switched off and on again, now as options describe: a fresh model (a fresh
    // sequence) in its start mode with an empty image. Answers still on their way are lost.
    void PowerCycle(const SimOptions& options);

    // The load as the current handset has assembled it so far (a copy: safe while a download
    // runs), and how many of its bytes no write packet has covered.
    std::vector<uint8_t> Image() const;
    uint64_t ImageHoles() const;
    HandsetMode Mode() const;
    // The number of the handset on the cable now (or of the latest, while none is), from 1.
    size_t HandsetNumber() const;
    // One line for each notable step, as the program's trace has them (mode changes, answered
    // blocks, faults, writes ignored for their rate).
    std::vector<std::string> Notes() const;
    std::string NotesText() const;

protected:
    bool Hear(std::span<const uint8_t> bytes, uint32_t rate, std::vector<Answer>& answers) override;

private:
    void StartModel(const SimOptions& options);  // with m_mutex held
    // Hands bytes to the current handset (m_mutex held), gathering what they made it do; false
    // when it drops the line.
    bool Feed(std::span<const uint8_t> bytes, std::vector<uint8_t>& reply, HandsetEvents& heard);

    const uint32_t m_esnBase;    // this line's bench's ESNs (SimOptions::esnBase)
    mutable std::mutex m_mutex;  // the model and the notes; taken inside the line's own lock
    SimOptions m_options;
    std::unique_ptr<HandsetSequence> m_handsets;
    std::vector<std::string> m_notes;
    std::optional<uint32_t> m_ignoredRate;  // the rate of the latest write ignored for it
    // The model's frame decoder as Feed follows it.
    HandsetMode m_fedMode = HandsetMode::DIAG;
    bool m_decoderEmpty = true;
    bool m_escaped = false;
};
