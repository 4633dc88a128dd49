// SPDX-License-Identifier: Apache-2.0
#include "sim_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <thread>
#include <vector>

#include "serialcomm_entry.h"

namespace {

constexpr int READ_WAIT_MS = 1000;
// How long an answer may wait for the tool to make room before it is dropped.
constexpr int WRITE_WAIT_MS = 2000;

std::string RateText(std::optional<uint32_t> rate) { return rate ? std::to_string(*rate) : std::string("unknown"); }

}  // namespace

SimRunner::SimRunner(const SimOptions& options, PtyPort& port, HandsetSequence& handsets, TraceLog& trace)
    : m_options(options), m_port(port), m_handsets(handsets), m_trace(trace), m_pacer(options.throttleBaud) {}

std::optional<uint32_t> SimRunner::LookAtRate() {
    const std::optional<uint32_t> rate = m_port.LineRate();
    if (rate != m_lastRate) {
        m_trace.Line("line rate " + RateText(rate));
        m_lastRate = rate;
    }
    return rate;
}

void SimRunner::SaveImage() {
    if (m_options.imageOut.empty()) return;
    const LoadImage& image = m_handsets.Current().Image();
    const size_t number = m_handsets.Number();
    const std::string error =
        image.SaveTo(number == 1 ? m_options.imageOut : m_options.imageOut + "." + std::to_string(number));
    if (!error.empty()) {
        std::fprintf(stderr, "vexlor-handset-sim: %s\n", error.c_str());
        m_trace.Line("image not saved: " + error);
        return;
    }
    m_trace.Line("image saved: " + std::to_string(image.Bytes().size()) + " bytes, " +
                 std::to_string(image.HoleBytes()) + " never written");
}

void SimRunner::FollowPortList() {
    const bool listed = m_handsets.PortListed();
    if (listed == m_listed || m_options.registerFile.empty()) return;
    m_listed = listed;
    const std::string path = m_port.SlavePath();
    const std::string error = listed ? RegisterSerialPort(m_options.registerFile, path, m_options.comName)
                                     : UnregisterSerialPort(m_options.registerFile, path, m_options.comName);
    m_trace.Line(std::string(listed ? "port back in the list" : "port gone from the list") +
                 (error.empty() ? std::string() : ": " + error));
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

std::optional<SimRunner::Outcome> SimRunner::Take(const Arrival& arrival) {
    const std::span<const uint8_t> received(arrival.bytes);
    m_pacer.Pace(received.size());
    const auto now = std::chrono::steady_clock::now();
    HandsetModel* model = m_handsets.Listening(now);
    if (m_options.silent || model == nullptr) return std::nullopt;
    // The rate the bytes met when they came, and the rate still in force once an adapter would
    // have sent them on: a change in between garbles them, as on a real line.
    const std::optional<uint32_t> rate = LookAtRate();
    if (rate != arrival.rate || !m_options.HearsAt(rate)) {
        m_trace.Line("garbled: " + std::to_string(received.size()) + " bytes at line rate " + RateText(rate) +
                     (rate != arrival.rate ? " (was " + RateText(arrival.rate) + " when they came)" : std::string()));
        model->DropPartialInput();
        return std::nullopt;
    }
    std::vector<uint8_t> reply;
    const HandsetEvents events = model->Receive(received, reply);
    m_handsets.Heard(events, now);
    // Saved before the answer goes out: whoever has the answer finds the file complete.
    if (events.nandWrite || events.reset) SaveImage();
    if (const uint32_t delay = m_handsets.AnswerDelayMs(events); delay > 0) {
        m_trace.Line("committing for " + std::to_string(delay) + " ms");
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
    }
    if (!reply.empty()) {
        m_pacer.Pace(reply.size());
        SendInPieces(reply);
    }
    if (events.disconnect) return Outcome::Disconnected;
    if (events.reset && m_options.exitAfterReset) return Outcome::ResetDone;
    return std::nullopt;
}

size_t SimRunner::AdapterBufferBytes() const {
    // Unpaced, a generous buffer keeps the line fast; paced, it holds what the line carries
    // during the latency, twice over, and a read besides: while the handset takes one part (for
    // its line time) the next must already be coming, or the latency would slow the line. The
    // tool's writes then stay about as far ahead of the handset as on a real line.
    if (!m_pacer.Enabled()) return 65536;
    const uint64_t carried = uint64_t{m_options.throttleBaud} * m_options.lineLatencyMs / 10000;
    return static_cast<size_t>(2 * carried) + 2 * m_pacer.ReadChunk();
}

SimRunner::Outcome SimRunner::Run(int wakeFd) {
    using Clock = std::chrono::steady_clock;
    std::vector<uint8_t> input(m_pacer.ReadChunk());
    // Bytes read but not yet taken, as an adapter holds them: each is judged --line-latency after
    // it came, while reading goes on up to the adapter's buffer, so the latency delays the
    // handset without slowing the line.
    std::deque<Arrival> pending;
    size_t pendingBytes = 0;
    const size_t bufferBytes = AdapterBufferBytes();
    for (;;) {
        int waitMs = READ_WAIT_MS;
        auto until = [&](Clock::time_point moment) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(moment - Clock::now());
            waitMs = std::min(waitMs, static_cast<int>(std::clamp<int64_t>(left.count() + 1, 0, READ_WAIT_MS)));
        };
        if (!pending.empty()) until(pending.front().due);
        // The bench's turns move on in time, so the trace tells each step when it happens.
        m_handsets.Listening(Clock::now());
        FollowPortList();
        if (const auto change = m_handsets.NextChange()) until(*change);
        const bool room = pendingBytes < bufferBytes;
        switch (m_port.WaitForBytes(wakeFd, waitMs, room)) {
        case PtyPort::ReadResult::Woken: return Outcome::Stopped;
        case PtyPort::ReadResult::Timeout: break;
        case PtyPort::ReadResult::Error:
            std::fprintf(stderr, "vexlor-handset-sim: %s\n", m_port.LastError().c_str());
            return Outcome::LineError;
        case PtyPort::ReadResult::Data: {
            const std::optional<uint32_t> rate = LookAtRate();
            size_t count = 0;
            const std::span<uint8_t> space(input.data(), std::min(input.size(), bufferBytes - pendingBytes));
            if (m_port.ReadArrived(space, count) == PtyPort::ReadResult::Error) {
                std::fprintf(stderr, "vexlor-handset-sim: %s\n", m_port.LastError().c_str());
                return Outcome::LineError;
            }
            if (count == 0) break;
            const std::span<const uint8_t> received(input.data(), count);
            m_trace.Bytes("rx", received);
            pending.push_back(Arrival{std::vector<uint8_t>(received.begin(), received.end()), rate,
                                      Clock::now() + std::chrono::milliseconds(m_options.lineLatencyMs)});
            pendingBytes += count;
            break;
        }
        }
        // One part at a time, reading in between: the next parts' latency runs while the handset
        // takes this one, as on a line that never stops.
        if (!pending.empty() && pending.front().due <= Clock::now()) {
            const Arrival arrival = std::move(pending.front());
            pending.pop_front();
            pendingBytes -= arrival.bytes.size();
            if (const std::optional<Outcome> outcome = Take(arrival)) return *outcome;
        }
    }
}
