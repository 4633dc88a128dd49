// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "handset_config.h"
#include "link/packet_unpacker.h"
#include "load_image.h"

// What a call to HandsetModel::Receive asks of the line driver besides sending the reply.
struct HandsetEvents {
    bool nandWrite = false;   // a write to NAND came in: time to save the image
    bool reset = false;       // a reset came in and was acknowledged; back in the start mode
    bool disconnect = false;  // the line goes dead now: nothing more is received or sent
    bool refused = false;     // a fault knob had a download step refused (the download has failed)
};

// The simulated handset without any input or output: bytes from the tool go in, the handset's
// answers come out in line order, and the load it receives is kept in an image.
//
// DS mode echoes every byte like a modem and answers each AT command line at its carriage return
// ("at" and "at$qcdmg" with OK, the latter then switching to DIAG; "at+gsn" with the ESN, then
// OK; others with ERROR).
// DIAG and DL modes cut the input into frames at each 0x7E flag (the flag that closes a frame may
// also open the next, as in the detection packet) and drop frames with a bad CRC unanswered.
// DIAG answers frames without an opening flag; DL answers with one and ignores requests it does
// not know (the detection packet's DIAG part among them), so only its no-operation is answered.
class HandsetModel {
public:
    using NoteSink = std::function<void(const std::string&)>;

    explicit HandsetModel(HandsetConfig config);

    // Takes the bytes the tool sent and appends the handset's answers to reply.
    HandsetEvents Receive(std::span<const uint8_t> bytes, std::vector<uint8_t>& reply);

    // Forgets a half-received frame or AT line (bytes at a wrong line rate are noise).
    void DropPartialInput();

    // The handset has restarted (with the software it was given, kept in its image) and answers
    // in mode from now on; the offline step and the download's state start afresh.
    void PowerOn(HandsetMode mode);

    HandsetMode Mode() const { return m_mode; }
    // The ESN it gives (the bench fills in one of its own where the options named none).
    uint32_t Esn() const { return m_config.esn.value_or(DEFAULT_ESN); }
    static constexpr uint32_t DEFAULT_ESN = 0x9F000001;
    bool Offline() const;
    const LoadImage& Image() const { return m_image; }

    // Receives one line of text for each notable step (mode changes, answered blocks, faults).
    void SetNoteSink(NoteSink sink) { m_note = std::move(sink); }

private:
    static constexpr size_t AT_LINE_MAX = 128;

    void EnterMode(HandsetMode mode);
    void ReceiveAtByte(uint8_t byte, std::vector<uint8_t>& reply);
    void HandleAtLine(std::vector<uint8_t>& reply);
    void HandleFrame(std::span<const uint8_t> payload, std::span<const uint8_t> body, std::vector<uint8_t>& reply,
                     HandsetEvents& events);
    void HandleDiag(std::span<const uint8_t> payload, std::span<const uint8_t> body, std::vector<uint8_t>& reply);
    void HandleStatusRequest(std::vector<uint8_t>& reply);
    void HandleDl(std::span<const uint8_t> payload, std::vector<uint8_t>& reply, HandsetEvents& events);
    void HandleDlGroup(std::span<const uint8_t> payload, std::vector<uint8_t>& reply, HandsetEvents& events);
    void HandleWritePacket(std::span<const uint8_t> payload, std::vector<uint8_t>& reply, HandsetEvents& events);
    void HandleNop(std::vector<uint8_t>& reply, HandsetEvents& events);
    void Reply(std::span<const uint8_t> payload, std::vector<uint8_t>& reply) const;
    void Note(const std::string& text) const;

    HandsetConfig m_config;
    HandsetMode m_mode;
    CPacketUnpacker m_unpacker;
    std::vector<uint8_t> m_atLine;
    LoadImage m_image;
    NoteSink m_note;

    // Offline step of DIAG mode.
    bool m_offlineRequested = false;
    int m_pollsSinceOffline = 0;

    // Per download (reset by start of download).
    int m_lastWriteBlock = -1;        // block of the latest write packet; 0 is the first packet
    bool m_writesSinceCheck = false;  // a write packet came after the latest no-operation
    bool m_unaskedSent = false;
};
