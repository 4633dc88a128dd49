#include "model_line.h"

#include <algorithm>

ModelLine::ModelLine(const SimOptions& options) : InProcessLine(options.throttleBaud) {
    std::lock_guard<std::mutex> lock(m_mutex);
    StartModel(options);
}

void ModelLine::StartModel(const SimOptions& options) {
    m_options = options;
    m_model = std::make_unique<HandsetModel>(options.handset);
    // Runs inside Receive, with m_mutex already held.
    m_model->SetNoteSink([this](const std::string& note) { m_notes.push_back(note); });
    m_ignoredRate.reset();
    m_notes.push_back(std::string("start mode ") + HandsetModeName(options.handset.startMode));
}

void ModelLine::PowerCycle(const SimOptions& options) {
    // Not nested in m_mutex: Hear takes the line's lock first, then m_mutex.
    Restart(options.throttleBaud);
    std::lock_guard<std::mutex> lock(m_mutex);
    StartModel(options);
}

bool ModelLine::Hear(std::span<const uint8_t> bytes, uint32_t rate, std::vector<Answer>& answers) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_options.silent) return true;
    if (m_options.onlyBaud && rate != *m_options.onlyBaud) {
        if (m_ignoredRate != rate) {
            m_notes.push_back("ignored: line rate " + std::to_string(rate) + " is not " +
                              std::to_string(*m_options.onlyBaud));
        }
        m_ignoredRate = rate;
        m_model->DropPartialInput();
        return true;
    }
    m_ignoredRate.reset();

    std::vector<uint8_t> reply;
    const HandsetEvents events = m_model->Receive(bytes, reply);
    if (events.disconnect) return false;  // the answer to the packet that reached the count is not sent
    const size_t piece = m_options.pieceBytes == 0 ? reply.size() : m_options.pieceBytes;
    for (size_t at = 0; at < reply.size(); at += piece) {
        const auto end = reply.begin() + static_cast<std::ptrdiff_t>(std::min(reply.size(), at + piece));
        answers.push_back(Answer{std::vector<uint8_t>(reply.begin() + static_cast<std::ptrdiff_t>(at), end),
                                 at == 0 ? 0 : static_cast<int>(m_options.piecePauseMs)});
    }
    return true;
}

std::vector<uint8_t> ModelLine::Image() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->Image().Bytes();
}

uint64_t ModelLine::ImageHoles() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->Image().HoleBytes();
}

HandsetMode ModelLine::Mode() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_model->Mode();
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
