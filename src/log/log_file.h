#pragma once
#include <atomic>
#include <cstddef>

namespace diaglog {

// The open log file: one POSIX descriptor opened with O_APPEND, so that each line handed over in
// a single write lands whole at the end of the file, whichever thread writes it.
//
// Close may run while other threads write: a writer announces itself in an in-flight count
// before it reads the descriptor, and Close takes the descriptor away first and then waits for
// that count to drop to zero. So no write ever reaches a closed (or meanwhile reused) descriptor;
// a write that comes too late is dropped. Writes take no lock.
class LogFile {
public:
    LogFile() = default;
    ~LogFile() { Close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens or creates path for reading and writing. append: keep what the file holds; otherwise
    // empty it. Sharing, with advisory flock locks standing in for the share modes: when appending
    // other processes may read but not write (exclusive lock); otherwise they may read and write
    // (shared lock). A lock held against us, or a path that is not a regular file, fails the open.
    // Any file already open is closed first. False when the file cannot be opened.
    bool Open(const char* path, bool append);
    // Hands the line to the file in one write; flush also forces it to disk. A failed write or
    // flush is ignored. False only when no file is open (nothing was written).
    bool Write(const char* data, size_t size, bool flush);
    // Waits for writes in flight, then closes. Safe to call when not open.
    void Close();
    bool IsOpen() const { return m_fd.load(std::memory_order_relaxed) >= 0; }

private:
    std::atomic<int> m_fd{-1};
    std::atomic<int> m_inFlight{0};
};

}  // namespace diaglog
