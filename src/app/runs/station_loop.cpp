// SPDX-License-Identifier: Apache-2.0
#include "app/runs/station_loop.h"

#include <algorithm>
#include <utility>

#include "engine/dl_status.h"
#include "log/log.h"
#include "platform/local_time.h"
#include "serial/handset_identity.h"
#include "serial/serial_port_list.h"

namespace {

constexpr const char* kSource = "StationLoop";
// How often a port that has left the port list is looked for again.
constexpr std::chrono::milliseconds kAbsentPause{1000};
// How long a port that cannot be opened rests before the next try.
constexpr std::chrono::milliseconds kUnusablePause{2000};
// Between two looks that found the handset still there: the port is left alone a moment.
constexpr std::chrono::milliseconds kPresentPause{250};
// How often a worker without a final status yet is looked at. The final status and a stop wake
// the wait at once: this only catches a worker that ends without one, so it can be slow (every
// port's loop waits like this through its whole download).
constexpr std::chrono::milliseconds kWorkerPoll{1000};

StationEvent Event(StationEvent::Kind kind, uint32_t sequence = 0) {
    StationEvent event;
    event.kind = kind;
    event.sequence = sequence;
    return event;
}

std::string FailureKey(const PortFailure& failure) {
    return std::to_string(static_cast<int>(failure.kind)) + " " + std::to_string(failure.error) + " " +
           std::to_string(failure.holderPid);
}

}  // namespace

void StationLoop::FlashTarget::Post(uint32_t message, uintptr_t wParam) {
    // Passed on first: the runner sees the final status before any phase that follows it.
    m_loop.m_target.Post(message, wParam);
    if (message != WM_DL_STATUS || !IsFinalStatus(static_cast<uint32_t>(wParam))) return;
    std::lock_guard<std::mutex> lock(m_loop.m_mutex);
    m_loop.m_finalStatus = static_cast<uint32_t>(wParam);
    m_loop.m_changed.notify_all();
}

StationLoop::StationLoop(std::string port, StationSettings settings, MessageQueue& queue, uint32_t source,
                         StationWorkerMaker makeWorker, ProbeLineMaker makeLine)
    : m_port(std::move(port)),
      m_settings(settings),
      m_target(queue, source),
      m_makeWorker(std::move(makeWorker)),
      m_probe(makeLine ? makeLine(m_port) : platform::MakeSystemSerialLine()) {
    m_probe.SetStopRequest(&m_stop);
    // On the probe's listener thread: another program holds the port meanwhile.
    m_probe.SetPortNotice([this](const PortFailure& holder) {
        StationEvent event = Event(StationEvent::Kind::kNotice);
        event.failure = holder;
        Post(event);
    });
}

StationLoop::~StationLoop() {
    RequestStop();
    Join();
    m_probe.SetPortNotice(nullptr);
}

void StationLoop::Start() {
    m_thread = std::thread([this] { Run(); });
}

void StationLoop::RequestStop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop.store(1);
    if (m_worker) m_worker->RequestStop();
    m_probe.Wake();
    m_changed.notify_all();
}

void StationLoop::Join() {
    if (m_thread.joinable()) m_thread.join();
}

bool StationLoop::TakeEvent(StationEvent& event) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_events.empty()) return false;
    event = std::move(m_events.front());
    m_events.pop_front();
    return true;
}

void StationLoop::Post(StationEvent event) {
    const auto kind = static_cast<uintptr_t>(event.kind);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(std::move(event));
    }
    m_target.Post(MESSAGE, kind);
}

bool StationLoop::Pause(std::chrono::milliseconds span) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_changed.wait_for(lock, span, [this] { return Stopping(); });
}

void StationLoop::Run() {
    using Clock = std::chrono::steady_clock;
    uint32_t sequence = 0;
    std::optional<Found> arrived;  // a handset that answered in another one's confirmation
    while (!Stopping()) {
        Found found;
        if (m_settings.station) {
            if (!arrived) Post(Event(StationEvent::Kind::kWaiting));
            if (!WaitForHandset(std::exchange(arrived, std::nullopt), found)) break;
        }
        std::optional<uint32_t> esn = found.esn;
        const uint32_t final = Flash(++sequence, esn);
        if (Stopping()) break;
        if (final == STATUS_DONE && esn && m_settings.flashed) {
            m_settings.flashed->Add(*esn, {m_port, sequence, platform::Now()});
        }
        // A failed handset answered all along; a done one has yet to, after its reset.
        bool answered = final != STATUS_DONE;
        Clock::time_point patientUntil = Clock::now();
        if (final == STATUS_DONE && m_settings.confirm) {
            patientUntil += m_settings.confirmTimeout;
            const Confirmation confirmation = Confirm(sequence, esn, arrived);
            if (confirmation == Confirmation::kStopped) break;
            if (confirmation == Confirmation::kOther) continue;  // the newcomer is flashed in its turn
            answered = confirmation == Confirmation::kAnswered;
        }
        if (!m_settings.station || Stopping()) break;
        Post(Event(StationEvent::Kind::kRemoval, sequence));
        WaitForRemoval(answered, patientUntil);
    }
    Post(Event(StationEvent::Kind::kEnded));
}

bool StationLoop::WaitForHandset(std::optional<Found> arrived, Found& found) {
    using Kind = ProbeResult::Kind;
    for (;;) {
        found = arrived ? *arrived : m_probe.WaitForAnswer(m_port, std::nullopt, true);
        arrived.reset();
        if (found.kind == Kind::kStopped) return false;
        if (found.kind == Kind::kAnswered) {
            const auto earlier = found.esn && m_settings.flashed ? m_settings.flashed->Find(*found.esn) : std::nullopt;
            if (!earlier) break;
            // Flashed done already at this station: told, and left alone until it is taken off.
            StationEvent known = Event(StationEvent::Kind::kKnown);
            known.esn = found.esn;
            known.earlier = *earlier;
            Post(known);
            LogWritePort(LOG_WRN, m_port.c_str(), kSource, "ESN %s was flashed already; waiting for its removal.",
                         EsnText(*found.esn).c_str());
            WaitForRemoval(true, std::chrono::steady_clock::now());
            if (Stopping()) return false;
            Post(Event(StationEvent::Kind::kWaiting));
            continue;
        }
        // Told once while it lasts; the port is tried again after a rest.
        const bool absent = found.kind == Kind::kAbsent;
        const std::string key = FailureKey(found.failure);
        bool tell = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            tell = key != m_toldFailure;
            m_toldFailure = key;
        }
        if (tell) {
            StationEvent notice = Event(StationEvent::Kind::kNotice);
            notice.failure = found.failure;
            Post(notice);
        }
        if (!absent) {
            if (!Pause(kUnusablePause)) return false;
            continue;
        }
        // Gone from the list (a USB port unplugged): looked for quietly until it is back.
        while (DevicePathOf(m_port.c_str()).empty()) {
            if (!Pause(kAbsentPause)) return false;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_toldFailure.clear();
        }
        Post(Event(StationEvent::Kind::kWaiting));
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_toldFailure.clear();
    }
    // --max-handsets: a handset found once the count is reached is left alone.
    if (m_settings.budget && m_settings.budget->fetch_sub(1) <= 0) {
        m_settings.budget->fetch_add(1);
        return false;
    }
    return true;
}

uint32_t StationLoop::Flash(uint32_t sequence, std::optional<uint32_t>& esn) {
    std::shared_ptr<PortWorker> worker = m_makeWorker(m_port, m_flashTarget);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_worker = worker;
        m_finalStatus = 0;
    }
    StationEvent flashing = Event(StationEvent::Kind::kFlashing, sequence);
    flashing.worker = worker;
    flashing.esn = esn;
    Post(flashing);
    LogWritePort(LOG_WRN, m_port.c_str(), kSource, "Handset %u found%s%s; flashing it.",
                 static_cast<unsigned>(sequence), esn ? ", ESN " : "", esn ? EsnText(*esn).c_str() : "");
    if (!Stopping()) worker->Start();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // The worker posts its last message before it ends: the final status, once seen, is
        // soon followed by the end.
        while (!Stopping() && worker->Running()) {
            m_changed.wait_for(lock, m_finalStatus != 0 ? std::chrono::milliseconds(5) : kWorkerPoll);
        }
    }
    if (Stopping()) worker->Stop();
    // The run's own reading (the status reply on its way to download mode) is the one recorded.
    if (const auto read = worker->HandsetEsn()) esn = read;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_worker.reset();
    return m_finalStatus;
}

StationLoop::Confirmation StationLoop::Confirm(uint32_t sequence, std::optional<uint32_t> esn,
                                               std::optional<Found>& arrived) {
    using Clock = std::chrono::steady_clock;
    using Kind = ProbeResult::Kind;
    const Clock::time_point until = Clock::now() + m_settings.confirmTimeout;
    StationEvent confirming = Event(StationEvent::Kind::kConfirming, sequence);
    confirming.until = until;
    Post(confirming);
    ProbeResult answer;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) {
            answer.kind = Kind::kSilent;
            break;
        }
        answer = m_probe.WaitForAnswer(m_port, left, true);
        if (answer.kind == Kind::kStopped) return Confirmation::kStopped;
        if (answer.kind == Kind::kAnswered || answer.kind == Kind::kSilent) break;
        // A handset's own USB port leaves the list while it restarts: its return is waited for.
        const auto pause = std::min(answer.kind == Kind::kAbsent ? kAbsentPause : kUnusablePause,
                                    std::max(left, std::chrono::milliseconds(1)));
        if (!Pause(pause)) return Confirmation::kStopped;
    }
    StationEvent confirmed = Event(StationEvent::Kind::kConfirmed, sequence);
    confirmed.mode = answer.mode;
    confirmed.platform = answer.platform;
    confirmed.esn = answer.esn;
    const bool answered = answer.kind == Kind::kAnswered;
    const bool other = answered && esn && answer.esn && *answer.esn != *esn;
    confirmed.answered = answered && !other;
    if (confirmed.answered) confirmed.confirmedBy = esn && answer.esn ? "esn" : "answer";
    Post(confirmed);
    if (other) {
        LogWritePort(LOG_WRN, m_port.c_str(), kSource, "Another handset (ESN %s) answered instead of ESN %s.",
                     EsnText(*answer.esn).c_str(), EsnText(*esn).c_str());
        arrived = answer;
        return Confirmation::kOther;
    }
    return answered ? Confirmation::kAnswered : Confirmation::kSilent;
}

void StationLoop::WaitForRemoval(bool answered, std::chrono::steady_clock::time_point patientUntil) {
    using Clock = std::chrono::steady_clock;
    using Kind = ProbeResult::Kind;
    Clock::time_point lastAnswer = Clock::now();
    // Silence and absence count once the handset has answered since its reset, or once it has
    // had the gone-after time beyond its confirmation's window to do so.
    auto gone = [&] { return answered || Clock::now() >= patientUntil + m_settings.goneAfter; };
    while (!Stopping()) {
        const ProbeResult look = m_probe.Look(m_port);
        if (look.kind == Kind::kStopped) return;
        if (look.kind == Kind::kAbsent) {
            if (gone()) return;  // the port went with the handset
            if (!Pause(kAbsentPause)) return;
            continue;
        }
        if (look.kind == Kind::kAnswered) {
            answered = true;
            lastAnswer = Clock::now();
            if (!Pause(kPresentPause)) return;
            continue;
        }
        if (look.kind == Kind::kSilent && gone() && Clock::now() - lastAnswer >= m_settings.goneAfter) return;
        if (look.kind == Kind::kUnusable && !Pause(kUnusablePause)) return;
    }
}
