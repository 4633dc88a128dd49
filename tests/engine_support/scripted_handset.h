// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "in_process_line.h"

// A scripted handset on an in-process line for the transaction layer's tests: it answers the
// channel's detection packet in the chosen mode, decodes every request frame the tool sends and
// sends whatever bytes the test's handler returns (well-formed or not, split, late or doubled).
// The whole serial channel and listener run for real against it. The channel owns the line;
// keep a pointer to it while the channel lives.
class ScriptedHandset final : public InProcessLine {
public:
    enum class Answer { Diag, Dl, Silent };

    struct Reply {
        std::vector<uint8_t> bytes;
        int delayMs = 0;  // after the bytes before it (or after the request)
    };
    using Handler = std::function<std::vector<Reply>(const std::vector<uint8_t>& request)>;

    explicit ScriptedHandset(Answer answer) : m_answer(answer) {}

    // Runs on the writer's thread, inside the line: it must not call back into the line.
    void SetHandler(Handler handler);

    // Every byte received after the first detection packet (detection packets left out).
    std::vector<uint8_t> Received() const;
    // The payloads of the request frames received, CRC checked and removed.
    std::vector<std::vector<uint8_t>> Requests() const;
    int ProbeCount() const;

    // Frames payload as the handset does: DL with an opening flag, DIAG without.
    static std::vector<uint8_t> DlFrame(const std::vector<uint8_t>& payload);
    static std::vector<uint8_t> DiagFrame(const std::vector<uint8_t>& payload);

protected:
    bool Hear(std::span<const uint8_t> bytes, uint32_t rate, std::vector<InProcessLine::Answer>& answers) override;

private:
    const Answer m_answer;
    mutable std::mutex m_mutex;  // taken inside the line's lock
    Handler m_handler;
    std::vector<uint8_t> m_pending;  // bytes of a request not yet complete
    std::vector<uint8_t> m_received;
    std::vector<std::vector<uint8_t>> m_requests;
    int m_probes = 0;
};
