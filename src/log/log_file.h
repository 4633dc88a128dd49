#pragma once
#include <atomic>
#include <cstddef>

namespace diaglog {

// The open log file: one POSIX descriptor opened with O_APPEND, so that each line handed over in
// a single write lands whole at the end of the file, whichever thread writes it.
//
// Closing may run while other threads write: a writer announces itself in an in-flight count
// before it reads the descriptor, and Seal takes the descriptor away from writers first and then
// waits for that count to drop to zero. So no write ever reaches a closed (or meanwhile reused)
// descriptor, a write that comes too late is dropped, and the closing lines written between Seal
// and Close are the last in the file. Writes take no lock.
class LogFile {
public:
    LogFile() = default;
    ~LogFile() { Close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens or creates path for reading and writing. append: keep what the file holds; otherwise
    // empty it, unless another process is writing it: then its lines are kept and ours follow.
    // Sharing, with advisory flock locks standing in for the share modes: when appending other
    // processes may read but not write (exclusive lock); otherwise they may read and write
    // (shared lock). A lock held against us, or a path that is not a regular file, fails the open.
    // Any file already open is closed first. False when the file cannot be opened.
    bool Open(const char* path, bool append);
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
    bool IsOpen() const { return m_fd.load(std::memory_order_relaxed) >= 0; }

private:
    std::atomic<int> m_fd{-1};       // what writers use; -1 once sealed
    std::atomic<int> m_inFlight{0};  // writers between announcing themselves and finishing
    int m_sealedFd = -1;             // the descriptor kept for the closing lines
};

}  // namespace diaglog
