// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/named_mutex.h"
#include "records/delivery_send.h"

// How the worker paces itself.
struct DeliveryTiming {
    std::size_t batch = 200;
    std::chrono::milliseconds firstRetry{500};  // after a fault; doubled at each fault after it
    std::chrono::milliseconds lastRetry{30000};
    std::chrono::milliseconds idlePoll{2000};  // how often an idle worker looks at the outbox
};

// Store and forward: a thread of its own sends what waits in the outbox, in order, from the
// start (what earlier runs left) and whenever Wake says a record was stored. While the broker
// is away it retries with a growing pause; the runs never wait for it. The outbox is used by
// this thread only.
class RecordDelivery {
public:
    using PublisherFactory = std::function<std::unique_ptr<RecordPublisher>()>;

    // factory gives a fresh, unconnected publisher for each connection; it and outbox must
    // outlive Stop. lockName (DeliveryLockName of the store): of the programs that write one
    // store, only the one holding this machine-wide lock sends, so no two send the same records
    // side by side; the others only count. Empty: no lock.
    RecordDelivery(RecordOutbox& outbox, PublisherFactory factory, DeliveryTiming timing = {},
                   std::string lockName = {});
    ~RecordDelivery();
    RecordDelivery(const RecordDelivery&) = delete;
    RecordDelivery& operator=(const RecordDelivery&) = delete;

    void Start();
    // A record was stored: send it now rather than at the next look (while the worker rests
    // after a fault, or another program sends, it is counted at once).
    void Wake();
    // Gives the worker up to limit to send what waits now (a program about to end lets its last
    // records go out). True when nothing waits; false at the first fault or at the limit.
    bool Flush(std::chrono::milliseconds limit);
    // Ends the thread; a send in flight is abandoned (its records stay waiting).
    void Stop();
    // The cancel flag a publisher made by the factory watches, so Stop never waits on a broker.
    const std::atomic<bool>* CancelFlag() const { return &m_stopping; }

    struct Status {
        std::size_t waiting = 0;  // as last counted
        std::size_t sent = 0;     // since Start
        bool connected = false;
        bool elsewhere = false;  // another program holds the store's delivery lock and sends
        PublishError lastError;  // the last fault; cleared by the next good connection
    };
    Status Snapshot() const;
    std::size_t WaitingCount() const { return Snapshot().waiting; }

private:
    void Run();
    // Whether this program may send: it holds the delivery lock, or there is none to hold.
    bool MaySend();
    // Waits for pause or Stop (and Wake, when woken is given); true when stopping.
    bool Pause(std::chrono::milliseconds pause, bool wakes);
    // Waits out pause without sending (a fault's backoff, another program sending); a Wake
    // meanwhile only counts the waiting records again. True when stopping.
    bool Rest(std::chrono::milliseconds pause);

    RecordOutbox& m_outbox;
    PublisherFactory m_factory;
    DeliveryTiming m_timing;
    std::string m_lockName;
    platform::NamedMutex m_lock;
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_woken = false;
    Status m_status;
    unsigned m_rounds = 0;  // looks at the outbox so far
    unsigned m_faults = 0;
    std::thread m_thread;
};

// The name of the machine-wide lock of the store at path, fit for a file name.
std::string DeliveryLockName(const std::string& storePath);
