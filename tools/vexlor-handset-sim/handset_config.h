// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// What the simulated handset is like: its start mode, the answers it gives and the faults it
// shows. Filled from the command line (sim_options.h); read by the model (handset_model.h).

enum class HandsetMode { DS, DIAG, DL };

const char* HandsetModeName(HandsetMode mode);

struct HandsetConfig {
    HandsetMode startMode = HandsetMode::DIAG;

    // How a DIAG request the handset does not know (the detection packet among them) is answered:
    // 1: code 0x14, then the request frame as it came over the line (CRC and flag included);
    // 2: code 0x13, then the request payload.
    int replyPattern = 1;

    // Bytes 6 and 7 of the version query reply (the tool joins them as "%d%d").
    uint8_t versionNumbers[2] = {1, 2};

    // The 8-character platform text of the version request reply (padded with spaces).
    std::string platform = "MSM5105";

    // Status replies report offline once the offline command has come and this many status
    // requests have since been answered "online"; nullopt: never offline.
    std::optional<int> offlineAfterPolls = 1;

    // false: the phone status request is answered as an unknown request (byte 0 is not 0x0C).
    bool statusReply = true;

    // The RF mode word of the status reply (0 or 1); offline is reported as RF mode 0 with
    // status word 6, or RF mode 1 with status word 2.
    uint16_t rfMode = 1;

    // The handset's ESN, sent in bytes 4..7 of the status reply (low byte first) and given to
    // AT+GSN; nullopt: the bench gives it one of its own (HandsetSequence), so no two differ.
    std::optional<uint32_t> esn;
    // How AT+GSN gives the ESN: "+GSN: 8F2A10C4", "0x8F2A10C4" or "8F2A10C4".
    enum class GsnFormat { kPrefixed, kHex, kPlain };
    GsnFormat gsnFormat = GsnFormat::kPrefixed;

    // How many of the status reply's first eight bytes are 0x7E (sent escaped as 7D 5E, which
    // shifts the status words on the line by one byte each), 0 to 7.
    int statusEscapes = 0;

    // Status of the start-of-download answer: 0 accepts, anything else refuses (0x1002 is the
    // ACC refusal).
    uint16_t startStatus = 0;

    // Faults in the load transfer, by block number: block 1 is the 0x20000 bytes from 0x200,
    // block 2 the next, and so on. 0 means no such fault.
    int badBlockStatus = 0;          // the answer to the packet completing block K has a failure status
    int badCheckAfterBlock = 0;      // the no-operation after block K is answered with a NAK
    int unaskedResponseInBlock = 0;  // an answer nobody asked for follows the first packet of block K

    bool failFinal = false;  // end of download answered with a failure status
    bool failNand = false;   // write to NAND answered with a failure status

    // The line goes dead once this many load bytes have been received (the answer to the packet
    // that reaches the count is not sent). nullopt: never.
    std::optional<uint64_t> disconnectAfterBytes;
};

// A handset's turn on a bench, as the technician and the handset's own restart play it. Without
// any of these the handset is back in its start mode at once after a reset and stays on the
// cable for good.
struct HandsetTimes {
    uint32_t commitMs = 0;  // the write to NAND is answered this long after it came (the commit)
    // After a reset: silent this long, then answering in restartMode with the new software.
    // nullopt: at once in the start mode (neverRestarts false), or never again (true).
    std::optional<uint32_t> restartAfterMs;
    bool neverRestarts = false;
    HandsetMode restartMode = HandsetMode::DS;
    // Its USB port leaves the port list while it restarts (as a handset's own USB port does),
    // and comes back when it answers again.
    bool portLeaves = false;
    // Taken off the cable this long after its turn ended: its restart (its reset, if it never
    // restarts), or its refusal of a download step (a fault knob's failure answer). Until then,
    // however long, it stays; silent from then on. nullopt: never.
    std::optional<uint32_t> unplugAfterMs;
    uint32_t swapMs = 1000;  // the next handset is plugged in this long after this one went
};

// One handset of a bench's sequence.
struct BenchHandset {
    HandsetConfig handset;
    HandsetTimes times;
    bool ownSwapTime = false;  // its --then named a --swap-time; else it takes the first handset's
};
