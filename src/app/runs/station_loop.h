// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/runs/flashed_handsets.h"
#include "app/runs/message_queue.h"
#include "app/runs/port_worker.h"
#include "engine/handset_probe.h"
#include "platform/serial_line.h"
#include "platform/window_messages.h"

// What a port's loop tells its runner, in order; each comes with a message on the runner's
// queue (StationLoop::MESSAGE, under the port's source), and the runner takes it with TakeEvent.
struct StationEvent {
    enum class Kind {
        kWaiting,     // the port is free: waiting for a handset
        kNotice,      // the port cannot be used for now (failure says why); told once, retried
        kFlashing,    // a handset answered: its run begins (sequence, worker)
        kConfirming,  // its run is done: waiting for it to restart and answer again
        kConfirmed,   // the wait is over: answered, and then mode and platform
        kRemoval,     // waiting for the handset to be taken off the cable
        kEnded,       // the loop has ended (stopped, or no more handsets may begin)
        kKnown,       // a handset this station flashed done answered again: waited out (earlier)
    };
    Kind kind = Kind::kWaiting;
    uint32_t sequence = 0;
    std::shared_ptr<PortWorker> worker;  // kFlashing
    // kConfirmed: answered by the flashed handset itself (by its ESN, or by an answer alone
    // where no identity could be read).
    bool answered = false;
    std::string confirmedBy;  // kConfirmed: "esn" or "answer" when answered
    EPhoneMode mode = PHONE_MODE_UNKNOWN;
    std::string platform;
    // kFlashing: the ESN the handset gave when it was found; kConfirmed: the ESN of the handset
    // that answered (another one's when answered is false); kKnown: the handset's.
    std::optional<uint32_t> esn;
    std::chrono::steady_clock::time_point until{};  // kConfirming: when the wait ends
    FlashedHandsets::Entry earlier;                 // kKnown: when and where it was flashed
    PortFailure failure;                            // kNotice
};

// How a port's loop runs.
struct StationSettings {
    bool station = true;  // false: one handset, flashed at once, no waiting and no removal watch
    bool confirm = true;  // after the done status, wait for the restart
    std::chrono::milliseconds confirmTimeout{60000};
    std::chrono::milliseconds goneAfter{3000};
    // Handsets that may still begin, shared by every port (--max-handsets); null: no limit.
    std::atomic<int>* budget = nullptr;
    // The handsets flashed done, shared by every port; null: none kept.
    FlashedHandsets* flashed = nullptr;
};

// Makes the flashing worker of a handset on port, posting to target.
using StationWorkerMaker =
    std::function<std::unique_ptr<PortWorker>(const std::string& port, platform::NotifyTarget& target)>;
// Makes the serial line through which handsets on port are looked for.
using ProbeLineMaker = std::function<std::unique_ptr<platform::SerialLine>(const std::string& port)>;

// One port of a station on a thread of its own: waits for a handset (the quiet look of
// CHandsetProbe), flashes it with a worker of its own (exactly an ordinary run, whose messages
// go to the runner under the port's source), confirms its restart by its ESN, and waits for its
// removal before the next one counts as new. A handset this station flashed done is known by its
// ESN and never flashed again. A port that cannot be opened is told once and retried; a port
// that leaves the port list is waited for. Only looks and the worker touch the port, never at
// once.
class StationLoop {
public:
    static constexpr uint32_t MESSAGE = WM_USER_BASE + 0x210;  // wParam: the event's kind

    StationLoop(std::string port, StationSettings settings, MessageQueue& queue, uint32_t source,
                StationWorkerMaker makeWorker, ProbeLineMaker makeLine = nullptr);
    // Stops and joins the loop.
    ~StationLoop();
    StationLoop(const StationLoop&) = delete;
    StationLoop& operator=(const StationLoop&) = delete;

    void Start();
    // Any thread: every wait ends at once, a handset in flight is stopped as Stop stops it.
    void RequestStop();
    // Waits for the loop to end (after its worker has).
    void Join();
    // Takes the oldest event not taken yet. False when none.
    bool TakeEvent(StationEvent& event);

private:
    // Passes the worker's messages on to the runner and notes its final status.
    class FlashTarget : public platform::NotifyTarget {
    public:
        explicit FlashTarget(StationLoop& loop) : m_loop(loop) {}
        void Post(uint32_t message, uintptr_t wParam) override;

    private:
        StationLoop& m_loop;
    };

    enum class Confirmation { kAnswered, kSilent, kOther, kStopped };
    // What a look found, where the station's waiting uses it.
    using Found = ProbeResult;

    void Run();
    void Post(StationEvent event);
    // Waits for a handset to answer (found: one that already has, taken first); told once: a
    // port that cannot be used, or has gone. A handset flashed done before is told and waited
    // out. False when stopped (or no handset may begin any more).
    bool WaitForHandset(std::optional<Found> arrived, Found& found);
    // Flashes handset sequence: its final status, 0 for none (stopped, or a worker that failed
    // to run); esn: its ESN where the run or the look read one.
    uint32_t Flash(uint32_t sequence, std::optional<uint32_t>& esn);
    // Waits for the done handset to answer again, up to the confirmation's time; a port that
    // leaves the list meanwhile is waited for. kOther: another handset answered (arrived).
    Confirmation Confirm(uint32_t sequence, std::optional<uint32_t> esn, std::optional<Found>& arrived);
    // Waits until the handset is gone: nothing has answered for the gone-after time, or the port
    // has left the list. Silence and absence count only once the handset has answered since its
    // reset (answered), or the gone-after time has passed since patientUntil.
    void WaitForRemoval(bool answered, std::chrono::steady_clock::time_point patientUntil);
    // Sleeps up to span; false when stopped meanwhile.
    bool Pause(std::chrono::milliseconds span);
    bool Stopping() const { return m_stop.load() != 0; }

    const std::string m_port;
    const StationSettings m_settings;
    TaggedTarget m_target;
    StationWorkerMaker m_makeWorker;
    CHandsetProbe m_probe;
    FlashTarget m_flashTarget{*this};
    std::atomic<int32_t> m_stop{0};
    std::thread m_thread;

    std::mutex m_mutex;  // everything below
    std::condition_variable m_changed;
    std::deque<StationEvent> m_events;
    std::shared_ptr<PortWorker> m_worker;  // the handset in flight
    uint32_t m_finalStatus = 0;            // of the handset in flight
    std::string m_toldFailure;             // the port's problem told last
};
