// SPDX-License-Identifier: Apache-2.0
#include "records/delivery_worker.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

RecordDelivery::RecordDelivery(RecordOutbox& outbox, PublisherFactory factory, DeliveryTiming timing,
                               std::string lockName)
    : m_outbox(outbox), m_factory(std::move(factory)), m_timing(timing), m_lockName(std::move(lockName)) {}

RecordDelivery::~RecordDelivery() { Stop(); }

void RecordDelivery::Start() {
    if (m_thread.joinable()) return;
    m_stopping = false;
    m_thread = std::thread([this] { Run(); });
}

void RecordDelivery::Wake() {
    {
        std::lock_guard lock(m_mutex);
        m_woken = true;
    }
    m_changed.notify_all();
}

void RecordDelivery::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool RecordDelivery::Flush(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_mutex);
    const unsigned rounds = m_rounds;
    const unsigned faults = m_faults;
    m_woken = true;
    m_changed.notify_all();
    // A count after this call includes every record stored before it.
    m_changed.wait_for(
        lock, limit, [&] { return m_stopping || m_faults != faults || (m_rounds > rounds && m_status.waiting == 0); });
    return m_faults == faults && m_rounds > rounds && m_status.waiting == 0;
}

RecordDelivery::Status RecordDelivery::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_status;
}

bool RecordDelivery::Pause(std::chrono::milliseconds pause, bool wakes) {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, pause, [&] { return m_stopping.load() || (wakes && m_woken); });
    if (wakes) m_woken = false;
    return m_stopping;
}

bool RecordDelivery::Rest(std::chrono::milliseconds pause) {
    const auto until = std::chrono::steady_clock::now() + pause;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait_until(lock, until, [&] { return m_stopping.load() || m_woken; });
        if (m_stopping) return true;
        if (!m_woken) return false;
        m_woken = false;
        lock.unlock();
        const std::size_t waiting = m_outbox.WaitingCount();
        lock.lock();
        m_status.waiting = waiting;
    }
}

bool RecordDelivery::MaySend() {
    if (m_lockName.empty() || m_lock.IsHeld()) return true;
    // A lock that cannot be made at all coordinates nothing: sending beats keeping records back.
    const bool elsewhere = m_lock.Create(m_lockName) == platform::NamedMutex::Result::AlreadyExists;
    std::lock_guard lock(m_mutex);
    m_status.elsewhere = elsewhere;
    return !elsewhere;
}

void RecordDelivery::Run() {
    std::unique_ptr<RecordPublisher> publisher;
    std::chrono::milliseconds retry = m_timing.firstRetry;
    const auto fault = [&](PublishError error) {
        publisher.reset();
        {
            std::lock_guard lock(m_mutex);
            m_status.connected = false;
            m_status.lastError = std::move(error);
            ++m_faults;
        }
        m_changed.notify_all();
        const bool stopping = Rest(retry);
        retry = std::min(retry * 2, m_timing.lastRetry);
        return stopping;
    };
    while (!m_stopping) {
        const std::size_t waiting = m_outbox.WaitingCount();
        {
            std::lock_guard lock(m_mutex);
            m_status.waiting = waiting;
            ++m_rounds;
        }
        m_changed.notify_all();
        if (waiting > 0 && !MaySend()) {
            if (Rest(m_timing.idlePoll)) break;
            continue;
        }
        if (waiting == 0) {
            if (publisher) {
                if (PublishError error = publisher->Service()) {
                    if (fault(std::move(error))) break;
                    continue;
                }
            }
            if (Pause(m_timing.idlePoll, true)) break;
            continue;
        }
        if (!publisher) {
            publisher = m_factory();
            if (PublishError error = publisher->Connect()) {
                if (fault(std::move(error))) break;
                continue;
            }
            std::lock_guard lock(m_mutex);
            m_status.connected = true;
            m_status.lastError = {};
        }
        DeliveryReport report = SendWaiting(m_outbox, *publisher, m_timing.batch, [this] { return m_stopping.load(); });
        {
            std::lock_guard lock(m_mutex);
            m_status.sent += report.sent;
            m_status.waiting = report.waiting;
        }
        m_changed.notify_all();
        if (report.error) {
            if (fault(std::move(report.error))) break;
            continue;
        }
        retry = m_timing.firstRetry;
        // Counted as waiting yet not handed out: look again later rather than spin.
        if (report.sent == 0 && Pause(m_timing.idlePoll, true)) break;
    }
    publisher.reset();
    m_lock.Close();
    std::lock_guard lock(m_mutex);
    m_status.connected = false;
}

std::string DeliveryLockName(const std::string& storePath) {
    // FNV-1a: the same name from every version of the program.
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : storePath) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char name[40];
    std::snprintf(name, sizeof name, "vexlor-delivery-%016llx", static_cast<unsigned long long>(hash));
    return name;
}
