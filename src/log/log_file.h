// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstddef>

#include "platform/log_file_io.h"

namespace diaglog {

// The open log file: one handle of the system's opened for appending (platform/log_file_io.h), so
// that each line handed over in a single write lands whole at the end of the file, whichever
// thread writes it.
//
// Closing may run while other threads write: a writer announces itself in an in-flight count
// before it reads the handle, and Seal takes the handle away from writers first and then waits
// for that count to drop to zero. So no write ever reaches a closed (or meanwhile reused) handle,
// a write that comes too late is dropped, and the closing lines written between Seal and Close
// are the last in the file. Writes take no lock.
class LogFile {
public:
    LogFile() = default;
    ~LogFile() { Close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens or creates path (the sharing rules are platform::OpenLogFile's): append keeps what
    // the file holds; otherwise it starts empty, unless another process is writing it, whose
    // lines are kept. Any file already open is closed first. False when it cannot be opened.
    // *error (when not null): the system's error number of a failed open.
    bool Open(const char* path, bool append, int* error = nullptr);
    // Hands the line to the file in one write; flush also forces it to disk. A failed write or
    // flush is ignored. False only when no file is open (nothing was written).
    bool Write(const char* data, size_t size, bool flush);
    // Refuses further writes and waits for those in flight; the file stays open for WriteSealed.
    void Seal();
    // Writes after Seal, by the one thread that sealed (the others are refused by then).
    void WriteSealed(const char* data, size_t size, bool flush);
    // Seals if not sealed yet, then closes. Safe to call when not open. Seal, WriteSealed and
    // Close are called by one thread at a time (the log's open/close lock).
    void Close();
    // Open and not sealed.
    bool IsOpen() const { return m_fd.load(std::memory_order_relaxed) != platform::kNoLogFile; }

private:
    std::atomic<platform::LogFileHandle> m_fd{platform::kNoLogFile};  // what writers use; none once sealed
    std::atomic<int> m_inFlight{0};                             // writers between announcing themselves and finishing
    platform::LogFileHandle m_sealedFd = platform::kNoLogFile;  // kept for the closing lines
};

}  // namespace diaglog
