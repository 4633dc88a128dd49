// SPDX-License-Identifier: Apache-2.0
#include "output_file.h"

#include <algorithm>

#include "platform/sys_error.h"

namespace {
constexpr size_t kBufferSize = size_t{256} * 1024;
}  // namespace

bool OutputFile::Create(const std::string& finalPath, std::string& error) {
    m_finalPath = finalPath;
    m_open = m_file.Create(finalPath, error);
    m_writeError = 0;
    m_buffer.clear();
    m_buffer.reserve(kBufferSize);
    return m_open;
}

bool OutputFile::Flush() {
    if (m_writeError == 0) m_writeError = m_file.Write(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return m_writeError == 0;
}

bool OutputFile::Write(const uint8_t* data, size_t length) {
    if (m_stop && m_stop->load()) m_stopped = true;
    if (!m_open || m_writeError != 0 || m_stopped) return false;
    while (length > 0) {
        const size_t take = std::min(length, kBufferSize - m_buffer.size());
        m_buffer.insert(m_buffer.end(), data, data + take);
        data += take;
        length -= take;
        if (m_buffer.size() == kBufferSize && !Flush()) return false;
    }
    return true;
}

bool OutputFile::Commit(std::string& error) {
    if (!m_open) {
        error = "no output file";
        return false;
    }
    if (m_stopped || (m_stop && m_stop->load())) {
        m_stopped = true;
        error = "stopped by a signal; nothing was written";
        m_file.Discard();
        return false;
    }
    if (!Flush()) {
        error = WriteProblem();
        m_file.Discard();
        return false;
    }
    m_open = false;
    return m_file.Commit(error);
}

std::string OutputFile::WriteProblem() const {
    if (m_writeError == 0) return {};
    // Named by the file asked for: the temporary one beside it is gone by the time this is read.
    return "cannot write " + m_finalPath + ": " + platform::SysErrorPhrase(m_writeError);
}
