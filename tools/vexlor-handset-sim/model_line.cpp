// SPDX-License-Identifier: Apache-2.0
#include "model_line.h"

#include <algorithm>
#include <atomic>

namespace {
// Lines made so far in this process: each line's bench gets ESNs of its own.
std::atomic<uint32_t> g_lines{0};
}  // namespace

ModelLine::ModelLine(const SimOptions& options, std::shared_ptr<LineClock> clock)
    : InProcessLine(options.throttleBaud, std::move(clock)),
      m_esnBase(options.esnBase + (++g_lines % 0x10000) * 0x100) {
    std::lock_guard<std::mutex> lock(m_mutex);
    StartModel(options);
}

void ModelLine::StartModel(const SimOptions& options) {
    m_options = options;
    m_options.esnBase = m_esnBase;  // switched off and on, it is still the same handset
    // Runs inside Receive and Listening, with m_mutex already held.
    m_handsets =
        std::make_unique<HandsetSequence>(m_options, [this](const std::string& note) { m_notes.push_back(note); });
    m_ignoredRate.reset();
    m_fedMode = options.handset.startMode;
    m_decoderEmpty = true;
    m_escaped = false;
    m_notes.push_back(std::string("start mode ") + HandsetModeName(options.handset.startMode));
}

void ModelLine::PowerCycle(const SimOptions& options) {
    // Not nested in m_mutex: Hear takes the line's lock first, then m_mutex.
    Restart(options.throttleBaud);
    std::lock_guard<std::mutex> lock(m_mutex);
    StartModel(options);
}

bool ModelLine::Feed(std::span<const uint8_t> bytes, std::vector<uint8_t>& reply, HandsetEvents& heard) {
    // The handset decodes frames with the tool's own decoder, which writes every frame it drops
    // into the diagnostic log: in this process, the tool's log. A flag that finds the decoder
    // empty (the opening flag of a DL frame right after the closing one) is such an empty frame;
    // it is not fed, which leaves the decoder just as the dropped frame would. Bytes go in one
    // at a time, so the mode is known for each.
    HandsetModel& model = m_handsets->Current();
    for (const uint8_t byte : bytes) {
        const HandsetMode mode = model.Mode();
        if (mode != m_fedMode || mode == HandsetMode::DS) {
            m_decoderEmpty = true;  // a mode change drops any partial frame
            m_escaped = false;
            m_fedMode = mode;
        }
        if (mode != HandsetMode::DS) {
            if (m_escaped) {
                m_escaped = false;
                m_decoderEmpty = false;
            } else if (byte == 0x7D) {
                m_escaped = true;
                m_decoderEmpty = false;
            } else if (byte == 0x7E) {
                const bool empty = m_decoderEmpty;
                m_decoderEmpty = true;
                if (empty) continue;
            } else {
                m_decoderEmpty = false;
            }
        }
        const HandsetEvents events = model.Receive({&byte, 1}, reply);
        heard.nandWrite |= events.nandWrite;
        heard.reset |= events.reset;
        heard.refused |= events.refused;
        if (events.disconnect) return false;
        if (events.reset) m_decoderEmpty = true;
    }
    return true;
}

bool ModelLine::Hear(std::span<const uint8_t> bytes, uint32_t rate, std::vector<Answer>& answers) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = Now();
    HandsetModel* model = m_handsets->Listening(now);
    if (m_options.silent || model == nullptr) return true;
    if (!m_options.HearsAt(rate)) {
        if (m_ignoredRate != rate) m_notes.push_back("garbled: line rate " + std::to_string(rate));
        m_ignoredRate = rate;
        model->DropPartialInput();
        m_decoderEmpty = true;
        m_escaped = false;
        return true;
    }
    m_ignoredRate.reset();

    std::vector<uint8_t> reply;
    HandsetEvents heard;
    if (!Feed(bytes, reply, heard)) return false;  // the answer to the packet that reached the count is not sent
    m_handsets->Heard(heard, now);
    const int delay = static_cast<int>(m_handsets->AnswerDelayMs(heard));
    const size_t piece = m_options.pieceBytes == 0 ? reply.size() : m_options.pieceBytes;
    for (size_t at = 0; at < reply.size(); at += piece) {
        const auto end = reply.begin() + static_cast<std::ptrdiff_t>(std::min(reply.size(), at + piece));
        answers.push_back(Answer{std::vector<uint8_t>(reply.begin() + static_cast<std::ptrdiff_t>(at), end),
                                 at == 0 ? delay : static_cast<int>(m_options.piecePauseMs)});
    }
    return true;
}

std::vector<uint8_t> ModelLine::Image() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handsets->Current().Image().Bytes();
}

uint64_t ModelLine::ImageHoles() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handsets->Current().Image().HoleBytes();
}

HandsetMode ModelLine::Mode() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handsets->Current().Mode();
}

size_t ModelLine::HandsetNumber() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handsets->Number();
}

std::vector<std::string> ModelLine::Notes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_notes;
}

std::string ModelLine::NotesText() const {
    std::string text;
    for (const std::string& note : Notes()) text += note + "\n";
    return text;
}
