// SPDX-License-Identifier: Apache-2.0
// The transaction layer's receive path: CSerCOMLibrary::OnEvent over arbitrary batches of
// received bytes, as the listener thread delivers them, with a worker thread taking the frames
// through DIAGTxRx / DLTxRx as the download does.
//
// The input is a script: batches of bytes, long runs of one byte (oversized frames and batches
// larger than one 8192-byte read), valid frames whole or split across batches, oversized valid
// frames, mode changes (including modes in which nothing is decoded) and empty notifications.
// The port is a pseudo-terminal whose other side only swallows the commands the worker writes.
//
// Checks: every notification returns (the listener is never left blocked), the frames the
// worker receives are exactly those a decoder fed the same batches yields, in order, with a
// frame larger than the worker's buffer dropped; every decoded frame is counted as pending; no
// frame length is left behind once the worker has taken it.
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fuzz_support.h"
#include "link/frame_bytes.h"
#include "link/packet_packer.h"
#include "link/packet_unpacker.h"
#include "link/ser_com_library.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kMaxScriptBytes = 256 * 1024;  // keeps one input fast
constexpr int32_t kTxRxTimeoutMs = 1000;        // scaled down to 1 ms below
const uint8_t kNop[] = {0x06};

// The pseudo-terminal the link's port is opened on; its master side is drained by the worker.
struct Terminal {
    int master = -1;
    std::string slavePath;
};

Terminal& SharedTerminal() {
    static Terminal terminal = [] {
        Terminal t;
        int slave = -1;
        char name[256] = {};
        FUZZ_CHECK(openpty(&t.master, &slave, name, nullptr, nullptr) == 0);
        t.slavePath = name;
        FUZZ_CHECK(fcntl(t.master, F_SETFL, fcntl(t.master, F_GETFL) | O_NONBLOCK) == 0);
        // The slave stays open here too, so the master never sees the line hang up.
        return t;
    }();
    return terminal;
}

void DrainMaster(int master) {
    uint8_t sink[4096];
    while (read(master, sink, sizeof sink) > 0) {}
}

// The link with its port opened directly (no listener thread: this thread plays the listener).
class FuzzLink : public CSerCOMLibrary {
public:
    bool OpenPort(const std::string& path) { return m_hFile->Open(path, 115200).Ok(); }
    // The terminal is this target's own: its settings need no restoring, and closing without
    // that skips the wait for the written bytes to leave and settle (a tenth of a second an input).
    void ClosePort() { m_hFile->Close(platform::SerialLine::CloseMode::kKeepSettings); }
    void SetChannelMode(EPhoneMode mode) { m_eMode.store(mode); }
    using CSerialIO::AppendReceived;
};

bool Decodes(EPhoneMode mode) { return mode == PHONE_MODE_DIAG || mode == PHONE_MODE_DL; }

// What the listener must hand over: a decoder fed each read as OnEvent feeds it.
class ExpectedFrames {
public:
    void Read(const Bytes& bytes, EPhoneMode mode) {
        m_decoder.SetMode(mode);
        if (!Decodes(mode)) return;
        for (uint8_t byte : bytes) {
            const int32_t result = m_decoder.PutByte(byte);
            if (result > 0) {
                frames.emplace_back(m_decoder.GetBuffer(), m_decoder.GetBuffer() + result);
                m_decoder.Reset();
            } else if (result < 0) {
                m_decoder.Reset();  // the rest of this read is dropped
                return;
            }
        }
    }
    std::vector<Bytes> frames;

private:
    CPacketUnpacker m_decoder;
};

class Session {
public:
    Session(FuzzLink& link, int32_t capacity) : m_link(link), m_capacity(capacity) {
        m_worker = std::thread([this] { Work(); });
    }
    ~Session() { Finish(); }

    void Finish() {
        m_done.store(true);
        if (m_worker.joinable()) m_worker.join();
    }

    // Changes the channel's mode while no exchange is under way, as the mode switches do.
    void SetMode(EPhoneMode mode) {
        std::lock_guard<std::mutex> lock(m_exchange);
        m_link.SetChannelMode(mode);
    }

    // One arrival: appended to the receive buffer, then taken by notifications of up to one
    // read each until nothing is left, as the listener does.
    void Deliver(const Bytes& bytes, ExpectedFrames& expected) {
        if (bytes.empty()) return;
        m_link.AppendReceived(bytes.data(), static_cast<uint32_t>(bytes.size()));
        size_t offset = 0;
        while (m_link.UnreadCount() > 0) {
            const size_t piece = std::min<size_t>(bytes.size() - offset, CSerCOMLibrary::RECV_BUFFER_SIZE);
            expected.Read(Bytes(bytes.begin() + offset, bytes.begin() + offset + piece), m_link.Mode());
            offset += piece;
            m_link.OnEvent(EVENT_DATA);
        }
        FUZZ_CHECK(offset == bytes.size());
    }

    std::vector<Bytes> received;

private:
    void Work() {
        Bytes response(static_cast<size_t>(m_capacity));
        const int master = SharedTerminal().master;
        while (!m_done.load()) {
            // An exchange only once a frame is in hand-over: idle exchanges would only time out.
            if (m_link.ResponseLength() <= 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(20));
                continue;
            }
            int32_t result = 0;
            {
                std::lock_guard<std::mutex> lock(m_exchange);
                const EPhoneMode mode = m_link.Mode();
                if (!Decodes(mode)) {
                    result = SERCOM_ERR_WRONG_MODE;
                } else if (mode == PHONE_MODE_DIAG) {
                    result = m_link.DIAGTxRx(kNop, 1, response.data(), m_capacity, kTxRxTimeoutMs);
                } else {
                    result = m_link.DLTxRx(kNop, 1, response.data(), m_capacity, kTxRxTimeoutMs);
                }
            }
            DrainMaster(master);
            if (result >= 0) {
                FUZZ_CHECK(result > 0 && result <= m_capacity);
                for (int32_t i = result; i < m_capacity; ++i) FUZZ_CHECK(response[static_cast<size_t>(i)] == 0);
                received.emplace_back(response.begin(), response.begin() + result);
            } else if (result == SERCOM_ERR_WRONG_MODE) {
                std::this_thread::yield();
            } else {
                FUZZ_CHECK(result == SERCOM_ERR_TIMEOUT);  // nothing came, or a frame too large for the buffer
            }
        }
    }

    FuzzLink& m_link;
    const int32_t m_capacity;
    std::mutex m_exchange;
    std::atomic<bool> m_done{false};
    std::thread m_worker;
};

Bytes Frame(const Bytes& payload, EPhoneMode mode) {
    return PackPacket(payload, mode == PHONE_MODE_DL ? FRAME_FLAG : FRAME_NO_LEAD, FRAME_FLAG);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The worker's exchange time-out becomes 1 ms.
    setenv("VEXLOR_TIME_SCALE", "0.001", 1);
    SharedTerminal();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    FuzzLink link;
    FUZZ_CHECK(link.OpenPort(SharedTerminal().slavePath));
    const int32_t capacity = input.ConsumeIntegralInRange<int32_t>(1, CPacketUnpacker::BUFFER_SIZE);
    EPhoneMode mode = input.ConsumeBool() ? PHONE_MODE_DL : PHONE_MODE_DIAG;
    link.SetChannelMode(mode);

    ExpectedFrames expected;
    Session session(link, capacity);
    size_t scriptBytes = 0;
    while (input.remaining_bytes() > 0 && scriptBytes < kMaxScriptBytes) {
        Bytes batch;
        switch (input.ConsumeIntegralInRange<int>(0, 15)) {
        case 10: {  // a long run of one byte: oversized frames, reads larger than one notification
            const uint8_t byte = input.ConsumeIntegral<uint8_t>();
            batch.assign(input.ConsumeIntegralInRange<size_t>(1, 40000), byte);
            break;
        }
        case 11:
        case 12: {  // a valid frame, whole or split over two arrivals
            const Bytes frame = Frame(input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(1, 600)), mode);
            const size_t split = input.ConsumeIntegralInRange<size_t>(0, frame.size());
            session.Deliver(Bytes(frame.begin(), frame.begin() + split), expected);
            batch.assign(frame.begin() + split, frame.end());
            break;
        }
        case 13: {  // the mode changes; DS and unknown decode nothing
            static constexpr EPhoneMode kModes[] = {PHONE_MODE_DIAG, PHONE_MODE_DL, PHONE_MODE_DS, PHONE_MODE_UNKNOWN};
            mode = kModes[input.ConsumeIntegralInRange<int>(0, 3)];
            session.SetMode(mode);
            break;
        }
        case 14: {  // a valid frame around its length limits
            const Bytes payload(input.ConsumeIntegralInRange<size_t>(8180, 17000), input.ConsumeIntegral<uint8_t>());
            batch = Frame(payload, mode);
            break;
        }
        case 15:  // a notification with nothing to read, or an event that carries no data
            link.OnEvent(static_cast<EChannelEvent>(input.ConsumeIntegralInRange<int>(0, 5)));
            break;
        default: batch = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(1, 700)); break;
        }
        scriptBytes += batch.size();
        session.Deliver(batch, expected);
    }
    session.Finish();

    std::vector<Bytes> fitting;
    for (const Bytes& frame : expected.frames)
        if (frame.size() <= static_cast<size_t>(capacity)) fitting.push_back(frame);
    FUZZ_CHECK(session.received == fitting);
    FUZZ_CHECK(link.PendingResponses() == static_cast<int32_t>(expected.frames.size()));
    FUZZ_CHECK(link.ResponseLength() == 0);
    FUZZ_CHECK(link.UnreadCount() == 0);
    link.ClosePort();
    return 0;
}
