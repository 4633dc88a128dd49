// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/packet_unpacker.h"
#include "link/ser_com_errors.h"
#include "platform/auto_reset_event.h"
#include "serial/serial_io.h"

// The command transaction layer: the serial channel extended by sending one command as a frame
// and waiting for its one response frame, streaming frames without waiting, assembling response
// frames from what the listener receives, and bringing the handset into DIAG or DL mode.
//
// Threads: the download worker calls every operation except OnEvent, which the channel's
// listener calls. A completed frame is handed from the listener to the waiting worker through
// two auto-reset events: the listener signals m_hResponseReady and blocks until the worker has
// copied the frame out and signalled m_hResponseTaken. The worker clears m_nResponseLen before
// it signals, so a length it has taken is never seen again (however late the listener runs).
class CSerCOMLibrary : public CSerialIO {
public:
    static constexpr int32_t RECV_BUFFER_SIZE = 8192;
    static constexpr int32_t READ_RETURN_TIMEOUT_MS = 3000;
    static constexpr int32_t READ_RETURN_PAUSE_MS = 200;
    static constexpr int32_t DETECTION_TRIES = 30;
    static constexpr int32_t DIAG_DETECTION_PAUSE_MS = 700;
    static constexpr int32_t DL_DETECTION_PAUSE_MS = 1000;

    explicit CSerCOMLibrary(std::unique_ptr<platform::SerialLine> line = platform::MakeSystemSerialLine());
    ~CSerCOMLibrary() override;

    // Starts the channel on portName (COM3, ...) at 115200 baud; the listener opens the port and
    // detects the mode in the background. 1, SERCOM_ERR_PARAM or SERCOM_ERR_OPEN.
    int32_t OpenComport(const char* label, const char* portName);
    // Close's result, unchanged.
    int32_t CloseCOMPort();

    // One command and its response, in the mode named: the response payload length (0 or more),
    // SERCOM_ERR_WRONG_MODE (nothing sent), SERCOM_ERR_WRITE or SERCOM_ERR_TIMEOUT. The whole
    // response buffer is zeroed before the payload is copied to its start.
    int32_t DIAGTxRx(const uint8_t* command, int32_t commandLength, uint8_t* response, int32_t responseCapacity,
                     int32_t timeoutMs);
    int32_t DLTxRx(const uint8_t* command, int32_t commandLength, uint8_t* response, int32_t responseCapacity,
                   int32_t timeoutMs);
    // Writes one DL frame without waiting for a response. 0, or SERCOM_ERR_WRITE.
    int32_t DLSend(const uint8_t* command, int32_t commandLength);
    // Takes the response frames that arrived meanwhile: 0 at once when none is ready, else the
    // length of a frame that became ready while it worked (0 if none), or SERCOM_ERR_TIMEOUT.
    int32_t ReadReturnPacket(uint8_t* buffer, int32_t capacity);

    // In AT data mode: writes command (an AT line ending in a carriage return) and gathers what
    // comes back until an OK or ERROR line ends it or timeoutMs has passed. The text (the echo
    // included, at most kAtReplyMax bytes); empty when not in AT data mode or nothing came.
    std::string AtExchange(const char* command, size_t size, int32_t timeoutMs);
    static constexpr size_t kAtReplyMax = 512;

    // Bring the handset into DIAG or DL mode: 1, or an error code; SERCOM_ERR_OPEN at once when
    // the port turned out unusable (DetectionFailure says why).
    int32_t IsDIAGConnected();
    int32_t IsDLConnected();

    void OnEvent(EChannelEvent event) override;

    // How long, beyond their 30 tries, the detection loops keep looking for a handset that has
    // not answered yet (a handset switched on after the command); 0: the 30 tries alone.
    void SetDetectionPatienceMs(int ms) { m_nDetectionPatienceMs.store(ms < 0 ? 0 : ms); }

    // A counter whose non-zero value asks the detection loops to give up early (the operator's
    // stop counter); null: never. They then return SERCOM_ERR_NO_MODE.
    void SetStopRequest(const std::atomic<int32_t>* stopRequest) { m_pStopRequest = stopRequest; }

    // For tests: the hand-over state, and a delay the listener takes after a frame was taken
    // before it continues (to prove the worker never depends on the listener's timing).
    int32_t PendingResponses() const { return m_nPendingResponses.load(); }
    int32_t ResponseLength() const { return m_nResponseLen.load(); }
    void SetListenerDelayForTest(int ms) { m_nListenerDelayMsForTest.store(ms); }

private:
    int32_t TxRx(const uint8_t* command, int32_t commandLength, uint8_t* response, int32_t responseCapacity,
                 int32_t timeoutMs);
    // Frames command into m_frame; its length, or 0 when it cannot be framed.
    size_t Pack(const uint8_t* command, int32_t commandLength, uint8_t lead);
    // Worker side: copies the ready frame to dest + offset after zeroing dest, then releases the
    // listener. False (the frame dropped, the listener released) when it does not fit.
    bool TakeReadyFrame(uint8_t* dest, int32_t capacity, int32_t offset, int32_t& length);
    // Listener side: feeds one received batch to the decoder, handing over complete frames.
    void DecodeBatch(const uint8_t* bytes, int32_t count);
    // Listener side: waits until the worker has taken the frame, or the channel is stopping.
    bool WaitFrameTaken();
    bool StopRequested() const;
    // Logs that the port cannot be used and gives SERCOM_ERR_OPEN.
    int32_t PortUnusable(const char* source);
    // True while a detection loop that started at start may try again after attempt tries.
    bool MayLookAgain(int32_t attempt, std::chrono::steady_clock::time_point start) const;

    CPacketUnpacker m_unpacker;
    platform::AutoResetEvent m_hResponseReady;
    std::atomic<int32_t> m_nResponseLen{0};
    std::atomic<int32_t> m_nPendingResponses{0};
    std::unique_ptr<uint8_t[]> m_pRecvBuffer;
    platform::AutoResetEvent m_hResponseTaken;

    std::mutex m_atMutex;  // m_atText, m_atCapture: the listener appends, AtExchange reads
    std::string m_atText;
    bool m_atCapture = false;

    std::vector<uint8_t> m_frame;  // the worker's framing buffer, grown once, reused per packet
    const std::atomic<int32_t>* m_pStopRequest = nullptr;
    std::atomic<int> m_nDetectionPatienceMs{0};
    std::atomic<int> m_nListenerDelayMsForTest{0};
};
