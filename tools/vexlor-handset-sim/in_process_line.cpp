// SPDX-License-Identifier: Apache-2.0
#include "in_process_line.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/sys_error.h"

InProcessLine::InProcessLine(uint32_t pacedBaud, std::shared_ptr<LineClock> clock)
    : m_clock(clock ? std::move(clock) : LineClock::System()), m_pacedBaud(pacedBaud) {}

InProcessLine::Clock::duration InProcessLine::LineTime(size_t bytes) const {
    if (m_pacedBaud == 0) return Clock::duration::zero();
    // 10 bits a byte: start, eight data bits, stop.
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::microseconds(static_cast<int64_t>(bytes) * 10 * 1000000 / m_pacedBaud));
}

void InProcessLine::DropArrivedLocked(Clock::time_point now) {
    while (!m_chunks.empty() && m_chunks.front().due <= now) m_chunks.pop_front();
}

void InProcessLine::DropPendingLocked(Clock::time_point now) {
    m_chunks.erase(std::find_if(m_chunks.begin(), m_chunks.end(), [&](const Chunk& c) { return c.due > now; }),
                   m_chunks.end());
}

void InProcessLine::QueueLocked(std::vector<uint8_t> bytes, int pauseMs, Clock::time_point start) {
    if (bytes.empty()) return;
    // Never ahead of what was sent before: the far end sends in order, however it pauses.
    Clock::time_point due = std::max(start, m_lastDue) + std::chrono::milliseconds(std::max(pauseMs, 0));
    if (m_pacedBaud != 0) {
        due = std::max(due, m_lineFree) + LineTime(bytes.size());
        m_lineFree = due;
    }
    m_lastDue = due;
    m_chunks.push_back(Chunk{due, std::move(bytes)});
}

platform::SerialLine::OpenResult InProcessLine::Open(const std::string&, uint32_t baudrate) {
    std::lock_guard<std::mutex> lock(m_mutex);
    OpenResult result;
    auto failed = [&](int error, Problem problem) {
        result.error = error;
        result.problem = problem;
        return result;
    };
    if (m_open || m_heldElsewhere) return failed(platform::kErrorBusy, Problem::kInUse);
    if (m_unplugged) return failed(platform::kErrorNotFound, Problem::kAbsent);
    if (baudrate == 0 || baudrate == m_refusedRate) {
        result.step = OpenStep::kApplySettings;
        return failed(platform::kErrorBadArgument, Problem::kRateRefused);
    }
    DropArrivedLocked(m_clock->Now());  // they came while nobody listened
    m_open = true;
    m_rate = baudrate;
    result.step = OpenStep::kPurge;
    m_events.push_back(Event{Event::Kind::kOpen, baudrate, {}});
    return result;
}

int InProcessLine::Close(CloseMode mode) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open) return 0;
    m_open = false;
    DropArrivedLocked(m_clock->Now());
    m_events.push_back(Event{mode == CloseMode::kRestoreSettings ? Event::Kind::kRestore : Event::Kind::kClose, 0, {}});
    m_changed.notify_all();
    return 0;
}

bool InProcessLine::IsOpen() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open;
}

int InProcessLine::Read(void* buffer, size_t capacity, size_t* received, int timeoutMs, int settleMs) {
    if (received) *received = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_open) return platform::kErrorNotOpen;
    if (capacity == 0 || !buffer) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    Clock::time_point now = m_clock->Now();
    const Clock::time_point deadline = now + std::chrono::milliseconds(std::max(timeoutMs, 0));
    Clock::time_point settled = Clock::time_point::max();
    size_t got = 0;
    int result = 0;
    for (;;) {
        if (m_wake) {
            m_wake = false;
            break;
        }
        if (!m_open) {
            if (got == 0) result = platform::kErrorNotOpen;  // closed under a waiting read
            break;
        }
        const size_t before = got;
        while (got < capacity && !m_chunks.empty() && m_chunks.front().due <= now) {
            Chunk& chunk = m_chunks.front();
            const size_t n = std::min(capacity - got, chunk.bytes.size() - chunk.taken);
            std::memcpy(out + got, chunk.bytes.data() + chunk.taken, n);
            got += n;
            chunk.taken += n;
            if (chunk.taken == chunk.bytes.size()) m_chunks.pop_front();
        }
        if (got > before) settled = now + std::chrono::milliseconds(std::max(settleMs, 0));
        if (got == capacity) break;
        if (m_unplugged) {
            // Bytes that came first are handed over; the error shows on the next read.
            if (got == 0) result = platform::kErrorGone;
            break;
        }
        const Clock::time_point until = got > 0 ? std::min(deadline, settled) : deadline;
        if (now >= until) break;
        const Clock::time_point wakeAt = m_chunks.empty() ? until : std::min(until, m_chunks.front().due);
        m_clock->WaitUntil(m_changed, lock, wakeAt);
        now = m_clock->Now();
    }
    if (received) *received = got;
    return result;
}

int InProcessLine::Write(const void* data, size_t length, size_t* written) {
    if (written) *written = 0;
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_open) return platform::kErrorNotOpen;
    if (m_unplugged) return platform::kErrorGone;
    if (length == 0) return 0;
    if (!data) return platform::kErrorBadArgument;
    const auto* in = static_cast<const uint8_t*>(data);
    const std::span<const uint8_t> bytes(in, length);
    m_events.push_back(Event{Event::Kind::kWrite, m_rate, std::vector<uint8_t>(bytes.begin(), bytes.end())});

    Clock::time_point arrival = m_clock->Now();
    if (m_pacedBaud != 0) {
        // Half duplex, as the program's pacer: the answer starts once the request is through.
        arrival = std::max(arrival, m_lineFree) + LineTime(length);
        m_lineFree = arrival;
    }
    std::vector<Answer> answers;
    if (Hear(bytes, m_rate, answers)) {
        for (Answer& answer : answers) QueueLocked(std::move(answer.bytes), answer.pauseMs, arrival);
    } else {
        m_unplugged = true;
        DropPendingLocked(m_clock->Now());
    }
    m_changed.notify_all();
    lock.unlock();
    if (written) *written = length;
    if (m_pacedBaud != 0) m_clock->SleepUntil(arrival);
    return 0;
}

void InProcessLine::WakeReader() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wake = true;
    m_changed.notify_all();
}

void InProcessLine::DiscardWake() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wake = false;
}

void InProcessLine::HoldElsewhere(bool held) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_heldElsewhere = held;
}

void InProcessLine::RefuseRate(uint32_t rate) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refusedRate = rate;
}

void InProcessLine::Send(std::span<const uint8_t> bytes, int pauseMs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_unplugged) return;
    QueueLocked(std::vector<uint8_t>(bytes.begin(), bytes.end()), pauseMs, m_clock->Now());
    m_changed.notify_all();
}

void InProcessLine::Unplug() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_unplugged = true;
    // What is still on its way never comes; what has arrived stays readable.
    DropPendingLocked(m_clock->Now());
    m_changed.notify_all();
}

bool InProcessLine::Unplugged() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_unplugged;
}

void InProcessLine::Restart(uint32_t pacedBaud) {
    std::lock_guard<std::mutex> lock(m_mutex);
    DropPendingLocked(m_clock->Now());
    m_unplugged = false;
    m_lastDue = {};
    m_lineFree = {};
    m_pacedBaud = pacedBaud;
}

std::vector<InProcessLine::Event> InProcessLine::Events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
}

std::vector<uint32_t> InProcessLine::RatesSet() const {
    std::vector<uint32_t> rates;
    for (const Event& event : Events()) {
        if (event.kind == Event::Kind::kOpen) rates.push_back(event.rate);
    }
    return rates;
}

int InProcessLine::OpenCount() const { return static_cast<int>(RatesSet().size()); }

std::vector<uint32_t> InProcessLine::RatesOfWritesHolding(std::span<const uint8_t> bytes) const {
    std::vector<uint32_t> rates;
    if (bytes.empty()) return rates;
    for (const Event& event : Events()) {
        if (event.kind == Event::Kind::kWrite &&
            std::search(event.bytes.begin(), event.bytes.end(), bytes.begin(), bytes.end()) != event.bytes.end()) {
            rates.push_back(event.rate);
        }
    }
    return rates;
}

int InProcessLine::CountWritesHolding(std::span<const uint8_t> bytes) const {
    return static_cast<int>(RatesOfWritesHolding(bytes).size());
}
