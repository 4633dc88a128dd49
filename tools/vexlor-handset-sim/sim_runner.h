// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <span>

#include "handset_model.h"
#include "line_pacer.h"
#include "pty_port.h"
#include "sim_options.h"
#include "trace_log.h"

// Moves bytes between the pseudo-terminal and the handset model: reads what the tool sent,
// drops it when the simulator is silent or the line rate is not the one it answers at, hands
// the rest to the model, writes the answers, and saves the image when the model says so.
class SimRunner {
public:
    enum class Outcome { Stopped, Disconnected, ResetDone, LineError };

    SimRunner(const SimOptions& options, PtyPort& port, HandsetModel& model, TraceLog& trace);

    // Runs until wakeFd becomes readable (a signal came), the model drops the line, a reset ends
    // the run (--exit-after-reset) or the terminal fails.
    Outcome Run(int wakeFd);

    // Writes the image to --image-out, if given; reports a failure on standard error.
    void SaveImage();

private:
    bool AnswersAtCurrentRate();
    // Writes an answer whole, or in the pieces --reply-pieces asks for.
    void SendInPieces(std::span<const uint8_t> reply);

    const SimOptions& m_options;
    PtyPort& m_port;
    HandsetModel& m_model;
    TraceLog& m_trace;
    LinePacer m_pacer;
    std::optional<uint32_t> m_lastRate;
};
