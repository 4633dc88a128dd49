// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "pseudo_terminal.h"

// The simulator's end of a pseudo-terminal. The master side is the handset's line; the tool
// opens the slave side (SlavePath) as its serial port. A descriptor of the slave side stays open
// here for the whole run, so the master never reads end-of-file or EIO while the tool has the
// port closed between openings.
class PtyPort {
public:
    enum class ReadResult { Data, Timeout, Woken, Error };

    // Creates the terminal in raw mode. Empty on success, else the error text.
    std::string Open();
    void Close();

    const std::string& SlavePath() const { return m_terminal.SlavePath(); }

    // Waits up to timeoutMs for bytes from the tool (or for wakeFd to become readable, which
    // gives Woken): Data when there are bytes to read. Without lookAtTerminal only the wake-up
    // or the time-out end the wait (nothing is read meanwhile).
    ReadResult WaitForBytes(int wakeFd, int timeoutMs, bool lookAtTerminal = true);
    // Reads what has arrived, at most buffer.size() bytes: Data (count may be 0) or Error.
    ReadResult ReadArrived(std::span<uint8_t> buffer, size_t& count);

    // Writes every byte, waiting at most maxWaitMs in all for room in the terminal; false when
    // the rest had to be dropped (nobody reads the port) or the write failed.
    bool Write(std::span<const uint8_t> bytes, int maxWaitMs);

    // Waits at most maxWaitMs until the tool has read everything written to it; false when
    // bytes are still waiting. Closing the terminal discards unread bytes on the tool's side.
    bool WaitUntilTaken(int maxWaitMs);

    // The line rate the tool set on its side, in bits per second; nullopt when unknown.
    std::optional<uint32_t> LineRate() const;

    // The last system error text, for messages.
    const std::string& LastError() const { return m_lastError; }

private:
    PseudoTerminal m_terminal;
    std::string m_lastError;
};
