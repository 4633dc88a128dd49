// SPDX-License-Identifier: Apache-2.0
#include "log/log_file.h"

#include <chrono>
#include <thread>

namespace diaglog {

bool LogFile::Open(const char* path, bool append, int* error) {
    Close();
    const platform::LogFileHandle file = platform::OpenLogFile(path, append, error);
    if (file == platform::kNoLogFile) return false;
    m_fd.store(file);
    return true;
}

bool LogFile::Write(const char* data, size_t size, bool flush) {
    // Announce first, then look at the handle: Seal does the opposite, so one of us sees the
    // other (both sequentially consistent).
    m_inFlight.fetch_add(1);
    const platform::LogFileHandle file = m_fd.load();
    if (file != platform::kNoLogFile) platform::WriteLogFile(file, data, size, flush);
    m_inFlight.fetch_sub(1);
    return file != platform::kNoLogFile;
}

void LogFile::Seal() {
    const platform::LogFileHandle file = m_fd.exchange(platform::kNoLogFile);
    if (file == platform::kNoLogFile) return;
    m_sealedFd = file;
    // Writers hold the count only for one write (and a flush); closing is rare.
    for (int spins = 0; m_inFlight.load() != 0; ++spins) {
        if (spins < 64) {
            std::this_thread::yield();
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
}

void LogFile::WriteSealed(const char* data, size_t size, bool flush) {
    if (m_sealedFd != platform::kNoLogFile) platform::WriteLogFile(m_sealedFd, data, size, flush);
}

void LogFile::Close() {
    Seal();
    platform::CloseLogFile(m_sealedFd);
    m_sealedFd = platform::kNoLogFile;
}

}  // namespace diaglog
