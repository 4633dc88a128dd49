// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/dl_packets.h"
#include "engine/message_sink.h"
#include "engine/run_failure.h"
#include "engine/worker_thread.h"
#include "link/ser_com_library.h"
#include "package/dl_parameter.h"
#include "platform/notify_target.h"
#include "platform/read_only_file.h"

// The download engine as the front ends see it: checks the package embedded in the program file
// (SetLoad), and starts and stops downloads, each on a worker thread of its own that runs
// DownloadFunc and reports by posting WM_DL_STATUS and WM_DL_PROGRESS to the notification target.
//
// Threads: SetComPort, Start, Stop and IsRunning belong to the front end's thread; SetLoad runs
// once on a background thread before any download; the command set and DownloadFunc run on the
// worker. The stop counter is the only member both sides touch during a run.
class CDLOperator {
public:
    static constexpr int32_t THREAD_WAIT_MS = 120000;
    static constexpr int32_t CHUNK_SIZE = 4096;
    static constexpr uint32_t BLOCK_SIZE = 0x20000;

    // line: the serial line of the downloads; the system's serial device unless a test plugs in
    // another one.
    explicit CDLOperator(std::unique_ptr<platform::SerialLine> line = platform::MakeSystemSerialLine());
    // Asks a running worker to stop and waits for it: the worker must never outlive the object.
    virtual ~CDLOperator();
    CDLOperator(const CDLOperator&) = delete;
    CDLOperator& operator=(const CDLOperator&) = delete;

    // Where status and progress go (null: dropped), where Start and Stop show their messages
    // (null: only logged), and the open program file the load is read from.
    void SetNotifyTarget(platform::NotifyTarget* target) { m_pWnd.store(target); }
    void SetMessageSink(IMessageSink* sink) { m_pMessageSink = sink; }
    void SetProgramFile(platform::ReadOnlyFile* file) { m_pProgramFile = file; }

    // Stores the port of the next run ("COM3"), at once when no worker runs, else when Start has
    // seen the earlier worker end (one that would not stop still reads its own). 1.
    int32_t SetComPort(const std::string& portName);
    // Reads and checks the package through file: 1 or the failing step's negative code.
    int32_t SetLoad(platform::ReadOnlyFile* file);
    // Takes the parameters of a package another operator has checked (several ports, one
    // check); the load is then read through this operator's own program file.
    void UsePackage(const CDLParameter& parameters) { m_parameters = parameters; }
    // Starts a run on a new worker thread; a worker still running blocks it (with a message).
    void Start();
    // Raises the stop counter and waits for the worker to end (up to THREAD_WAIT_MS).
    void Stop();
    // True while a worker runs.
    bool IsRunning() const;
    // The first half of Stop: raises the stop counter without waiting.
    void RequestStop() { m_lStop.fetch_add(1); }

    // What the latest run's failure status does not say by itself (read after its final status;
    // empty while a run goes on and after a run that did not fail).
    RunFailure LastFailure() const;
    // The details of the latest WM_DL_NOTICE of the latest run (NOTICE_PORT_BUSY: who holds the
    // port); empty before any.
    PortFailure LastNotice() const;
    // Load bytes sent to the handset so far in the latest run (each packet as it goes out).
    uint64_t BytesSent() const { return m_bytesSent.load(); }
    // Load bytes the handset has confirmed taking (the first packet, then each block at its end):
    // what rates are made of, since bytes sent may still wait in the port's buffers.
    uint64_t BytesConfirmed() const { return m_bytesConfirmed.load(); }
    // When the handset confirmed the first packet of the latest run, the start of its block phase
    // (the time rates are counted from); nothing before that.
    std::optional<std::chrono::steady_clock::time_point> BlockPhaseStart() const;
    // The software version the handset reported in the latest run ("%d%d"); empty until it did.
    std::string HandsetVersion() const;
    // The handset's ESN as the latest run's switch to download mode read it; none until then,
    // and none for a handset that started in download mode.
    std::optional<uint32_t> HandsetEsn() const { return m_link.StatusEsn(); }

    const CDLParameter& Parameters() const { return m_parameters; }
    CSerCOMLibrary& Link() { return m_link; }
    // The port of the latest run, or of the next one once no worker runs.
    const std::string& PortName() const { return m_strPort; }

    // The download command set (worker thread): 1, or a negative code (transaction layer codes
    // pass through unchanged). SendNop gives -1 for failure; SendReset always 1.
    int32_t CheckVersion();
    int32_t InitDownload();
    int32_t WriteFirstPacket(const uint8_t* chunk);
    int32_t WriteBlockPacket(uint8_t* chunk, uint32_t blockStart, uint32_t blockSize);
    int32_t CheckWriteBlockPacketError();
    int32_t FinalDownload();
    int32_t WriteToNand();
    int32_t SendNop(int32_t timeoutMs);
    int32_t SendReset();
    void FlushResponses();

    // One whole download; the body of the worker thread.
    void DownloadFunc();

private:
    // The port column of the log: the port name without a leading "\\.\".
    const char* LogPort() const;
    void Post(uint32_t message, uintptr_t value) { platform::PostTo(m_pWnd.load(), message, value); }
    void ShowMessage(const char* text);
    // Sends a 0x70 command and applies the common response check.
    int32_t DownloadCommand(const char* source, const uint8_t* request, int32_t length, int32_t timeoutMs,
                            bool startOfDownload);
    // True (with the stop line written and the port closed if open) when a stop was requested.
    bool StopCheck(bool portOpen);
    // How a failed step ends the run: its status; whether its error line goes before the port is
    // closed (opening and detection write it first); whether detection found no handset, so that
    // the port's story is the reason.
    struct Failure {
        uint32_t status;
        bool lineBeforeClose = false;
        bool noHandsetFound = false;
    };
    // Ends a failed run, the one way every failure ends it: closes the port, writes the error
    // lines (writeLines), keeps the reason and posts the status; a stop requested meanwhile ends
    // it as a stop instead (no status).
    void Fail(const Failure& failure, const std::function<void()>& writeLines);
    // The same with one error line, format filled with code in hexadecimal.
    void Fail(uint32_t status, const char* format, int32_t code);
    // The block loop of the sequence. False when the run has ended inside it.
    bool WriteBlocks(uint32_t loadSize);
    // Keeps what the user should be told of a run ending with status (before it is posted);
    // noHandsetFound: detection found no handset, so the port's story is the reason.
    void NoteFailure(uint32_t status, bool noHandsetFound = false);

    // Set from the front end's thread while a worker that would not stop may still post.
    std::atomic<platform::NotifyTarget*> m_pWnd{nullptr};
    std::string m_strPort;   // the port of the latest run, read by its worker
    std::string m_nextPort;  // the port of the next run
    CDLParameter m_parameters;
    CSerCOMLibrary m_link;
    std::unique_ptr<CWorkerThread> m_thread;
    platform::ReadOnlyFile* m_pProgramFile = nullptr;
    std::atomic<int32_t> m_lStop{0};
    IMessageSink* m_pMessageSink = nullptr;
    mutable std::mutex m_failureMutex;  // m_failure: written by the worker, read by the front end
    RunFailure m_failure;
    std::string m_handsetVersion;  // guarded by m_failureMutex too
    PortFailure m_notice;          // guarded by m_failureMutex too
    std::atomic<uint64_t> m_bytesSent{0};
    std::atomic<uint64_t> m_bytesConfirmed{0};
    std::atomic<int64_t> m_blockPhaseStart{0};  // steady clock ticks, 0 for none yet

    // Buffers of a run, kept here so the packet loop never allocates.
    uint8_t m_chunk[CHUNK_SIZE] = {};
    uint8_t m_packet[dlpacket::WRITE_PACKET_SIZE] = {};
    uint8_t m_blockResponse[dlpacket::RESPONSE_BLOCK] = {};
};
