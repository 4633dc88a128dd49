// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "line_clock.h"
#include "platform/serial_line.h"

// A serial line whose far end plays in the same process: what the tool writes is handed to
// Hear, which answers at once; the answers reach Read after the pauses the far end asks for,
// so nobody's thread ever sleeps on the far end's behalf. Portable C++ (no terminal, no
// descriptors): the protocol tests run the same on every system the tool is built for.
//
// It behaves as a port: errors when closed, bytes that arrive while it is closed are lost, an
// opening drops what has arrived and not been read; a time-out, settle window and wake-up as
// SerialLine describes. A far end that has gone (Unplug) fails reads and writes with the
// platform's "gone" error and openings with its "not found", as a vanished device does: its
// error numbers are the system's own (platform/sys_error.h), so their texts are right anywhere.
// It keeps a record of what the tool did to it (openings with their rates, writes with the rate
// in force, closes and whether they put the port's earlier settings back).
//
// Threads: as SerialLine says; besides, Send, Unplug and the inspection calls may come from any
// thread at any time.
class InProcessLine : public platform::SerialLine {
public:
    using Clock = std::chrono::steady_clock;

    // pacedBaud: bytes take 10 bits each at this rate in both directions (0: no line time);
    // clock: the line's time (the system's when null).
    explicit InProcessLine(uint32_t pacedBaud = 0, std::shared_ptr<LineClock> clock = nullptr);
    ~InProcessLine() override = default;
    InProcessLine(const InProcessLine&) = delete;
    InProcessLine& operator=(const InProcessLine&) = delete;

    // What the tool did to the line, in order.
    struct Event {
        enum class Kind { kOpen, kWrite, kClose, kRestore };
        Kind kind;
        uint32_t rate = 0;           // kOpen: the rate set; kWrite: the rate in force
        std::vector<uint8_t> bytes;  // kWrite: what was written
    };

    // The device text is not used: whatever the port map gives opens this line. Any rate but 0;
    // the far end is told the rate of every write.
    OpenResult Open(const std::string& device, uint32_t baudrate) override;
    int Close(CloseMode mode) override;
    bool IsOpen() const override;
    int Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) override;
    // Takes every byte at once; with a paced line the writer is held while its bytes cross it,
    // so nothing is on its way any more when a close comes.
    int Write(const void* data, size_t length, size_t* written) override;
    void WakeReader() override;
    void DiscardWake() override;

    // Another program holds the port (true) or lets go of it: openings fail as in use meanwhile.
    void HoldElsewhere(bool held);
    // The port's driver cannot set rate (a cheap adapter): an opening at it fails at the
    // settings step, as a refused rate does.
    void RefuseRate(uint32_t rate);

    // The far end sends bytes unasked: they arrive pauseMs after whatever it sent before.
    void Send(std::span<const uint8_t> bytes, int pauseMs = 0);
    // The device goes away: what has arrived can still be read, nothing more comes.
    void Unplug();
    bool Unplugged() const;

    // What the tool did, for tests: every step, the rate of every opening, how often it opened
    // the line, how many of its writes held bytes (anywhere within one write) and the rates in
    // force for those writes.
    std::vector<Event> Events() const;
    std::vector<uint32_t> RatesSet() const;
    int OpenCount() const;
    int CountWritesHolding(std::span<const uint8_t> bytes) const;
    std::vector<uint32_t> RatesOfWritesHolding(std::span<const uint8_t> bytes) const;

protected:
    struct Answer {
        std::vector<uint8_t> bytes;
        int pauseMs = 0;  // after the bytes before it (or after the write they answer)
    };
    // The far end hears one write, taken at rate; appends its answers. False when it drops the
    // line: the answers are not sent and the line is unplugged. Called with the line's lock held,
    // one write at a time, never after Unplug.
    virtual bool Hear(std::span<const uint8_t> bytes, uint32_t rate, std::vector<Answer>& answers) = 0;

    // Another far end takes the line (plugged in again if it was gone), at a new pace: whatever
    // the old one had still on its way never arrives.
    void Restart(uint32_t pacedBaud);
    // The line's time now.
    Clock::time_point Now() const { return m_clock->Now(); }

private:
    struct Chunk {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
        size_t taken = 0;
    };

    // Queues bytes after pauseMs from the later of start and the last queued chunk.
    void QueueLocked(std::vector<uint8_t> bytes, int pauseMs, Clock::time_point start);
    // Drops the chunks that have arrived by now (nobody read them).
    void DropArrivedLocked(Clock::time_point now);
    // Drops the chunks still on their way.
    void DropPendingLocked(Clock::time_point now);
    Clock::duration LineTime(size_t bytes) const;

    const std::shared_ptr<LineClock> m_clock;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;  // bytes queued, wake-up, unplugged or closed
    std::deque<Chunk> m_chunks;         // in arrival order
    Clock::time_point m_lastDue{};
    Clock::time_point m_lineFree{};  // a paced line is busy until then
    uint32_t m_pacedBaud;
    bool m_open = false;
    bool m_wake = false;
    bool m_unplugged = false;
    uint32_t m_rate = 0;
    uint32_t m_refusedRate = 0;
    bool m_heldElsewhere = false;
    std::vector<Event> m_events;
};
