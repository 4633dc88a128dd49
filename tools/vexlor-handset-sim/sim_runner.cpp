// SPDX-License-Identifier: Apache-2.0
#include "sim_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int READ_WAIT_MS = 1000;
// How long an answer may wait for the tool to make room before it is dropped.
constexpr int WRITE_WAIT_MS = 2000;

std::string RateText(std::optional<uint32_t> rate) { return rate ? std::to_string(*rate) : std::string("unknown"); }

}  // namespace

SimRunner::SimRunner(const SimOptions& options, PtyPort& port, HandsetModel& model, TraceLog& trace)
    : m_options(options), m_port(port), m_model(model), m_trace(trace), m_pacer(options.throttleBaud) {
    m_model.SetNoteSink([this](const std::string& note) { m_trace.Line(note); });
}

bool SimRunner::AnswersAtCurrentRate() {
    if (!m_options.onlyBaud) return true;
    const std::optional<uint32_t> rate = m_port.LineRate();
    if (rate != m_lastRate) {
        m_trace.Line("line rate " + RateText(rate));
        m_lastRate = rate;
    }
    return rate == m_options.onlyBaud;
}

void SimRunner::SaveImage() {
    if (m_options.imageOut.empty()) return;
    const LoadImage& image = m_model.Image();
    const std::string error = image.SaveTo(m_options.imageOut);
    if (!error.empty()) {
        std::fprintf(stderr, "vexlor-handset-sim: %s\n", error.c_str());
        m_trace.Line("image not saved: " + error);
        return;
    }
    m_trace.Line("image saved: " + std::to_string(image.Bytes().size()) + " bytes, " +
                 std::to_string(image.HoleBytes()) + " never written");
}

void SimRunner::SendInPieces(std::span<const uint8_t> reply) {
    const size_t piece = m_options.pieceBytes == 0 ? reply.size() : m_options.pieceBytes;
    for (size_t at = 0; at < reply.size(); at += piece) {
        if (at > 0) std::this_thread::sleep_for(std::chrono::milliseconds(m_options.piecePauseMs));
        const std::span<const uint8_t> part = reply.subspan(at, std::min(piece, reply.size() - at));
        m_trace.Bytes("tx", part);
        if (!m_port.Write(part, WRITE_WAIT_MS)) {
            m_trace.Line("answer dropped: " + m_port.LastError());
            return;
        }
    }
}

SimRunner::Outcome SimRunner::Run(int wakeFd) {
    std::vector<uint8_t> input(m_pacer.ReadChunk());
    std::vector<uint8_t> reply;
    for (;;) {
        size_t count = 0;
        switch (m_port.Read(input, count, wakeFd, READ_WAIT_MS)) {
        case PtyPort::ReadResult::Woken: return Outcome::Stopped;
        case PtyPort::ReadResult::Timeout: continue;
        case PtyPort::ReadResult::Error:
            std::fprintf(stderr, "vexlor-handset-sim: %s\n", m_port.LastError().c_str());
            return Outcome::LineError;
        case PtyPort::ReadResult::Data: break;
        }
        const std::span<const uint8_t> received(input.data(), count);
        m_trace.Bytes("rx", received);
        m_pacer.Pace(count);
        if (m_options.silent) continue;
        if (!AnswersAtCurrentRate()) {
            m_trace.Line("ignored: line rate is not " + std::to_string(*m_options.onlyBaud));
            m_model.DropPartialInput();
            continue;
        }

        reply.clear();
        const HandsetEvents events = m_model.Receive(received, reply);
        // Saved before the answer goes out: whoever has the answer finds the file complete.
        if (events.nandWrite || events.reset) SaveImage();
        if (!reply.empty()) {
            m_pacer.Pace(reply.size());
            SendInPieces(reply);
        }
        if (events.disconnect) return Outcome::Disconnected;
        if (events.reset && m_options.exitAfterReset) return Outcome::ResetDone;
    }
}
