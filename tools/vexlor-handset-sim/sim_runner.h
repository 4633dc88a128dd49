// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <optional>
#include <span>
#include <vector>

#include "handset_sequence.h"
#include "line_pacer.h"
#include "pty_port.h"
#include "sim_options.h"
#include "trace_log.h"

// Moves bytes between the pseudo-terminal and the handset model: reads what the tool sent,
// drops it when the simulator is silent, no handset of the sequence is listening, or the bytes
// crossed the line at a rate the handset does not hear (looked at when they arrive and again
// when they are taken, --line-latency later), hands the rest to the model, writes the answers
// (the write to NAND's after the commit time), and saves the image when the model says so.
class SimRunner {
public:
    enum class Outcome { Stopped, Disconnected, ResetDone, LineError };

    SimRunner(const SimOptions& options, PtyPort& port, HandsetSequence& handsets, TraceLog& trace);

    // Runs until wakeFd becomes readable (a signal came), the model drops the line, a reset ends
    // the run (--exit-after-reset) or the terminal fails.
    Outcome Run(int wakeFd);

    // Writes the current handset's image to --image-out (FILE.N for handset N from 2 on), if
    // given; reports a failure on standard error.
    void SaveImage();

private:
    struct Arrival {
        std::vector<uint8_t> bytes;
        std::optional<uint32_t> rate;               // the tool's line rate when they came
        std::chrono::steady_clock::time_point due;  // when the handset takes them
    };
    // Hands arrived bytes to the handset, unless the line garbled them; an outcome that ends
    // the run.
    std::optional<Outcome> Take(const Arrival& arrival);
    // How many bytes may wait for their latency at once.
    size_t AdapterBufferBytes() const;
    // Notes a change of the tool's line rate in the trace; the rate now.
    std::optional<uint32_t> LookAtRate();
    // Takes the port off the settings file's list or puts it back, as the handset's turn asks.
    void FollowPortList();
    // Writes an answer whole, or in the pieces --reply-pieces asks for.
    void SendInPieces(std::span<const uint8_t> reply);

    const SimOptions& m_options;
    PtyPort& m_port;
    HandsetSequence& m_handsets;
    TraceLog& m_trace;
    LinePacer m_pacer;
    std::optional<uint32_t> m_lastRate;
    bool m_listed = true;  // the port's --register entry is there
};
