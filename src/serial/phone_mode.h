// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

// The handset's mode as the serial channel holds it, the detection packet the listener sends
// while the mode is unknown, and the recognition of the mode from the first reply.

enum EPhoneMode : int32_t {
    PHONE_MODE_NONE = 0,     // the listener has ended
    PHONE_MODE_UNKNOWN = 3,  // the listener is probing; no mode recognised yet
    PHONE_MODE_DS = 4,       // AT command (data service) mode
    PHONE_MODE_DIAG = 5,     // diagnostic mode
    PHONE_MODE_DL = 6,       // download mode
};

// One packet every mode answers: "at\r" (AT mode), a complete DIAG frame with payload 61 74 0D
// (DIAG mode) and the download no-operation frame 06 4E 95 7E (DL mode).
inline constexpr size_t kDetectionPacketSize = 10;
inline constexpr uint8_t kDetectionPacket[kDetectionPacketSize] = {0x61, 0x74, 0x0D, 0x1C, 0xD5,
                                                                   0x7E, 0x06, 0x4E, 0x95, 0x7E};

// The mode shown by the first bytes of one read, tested against the reply patterns in order:
// DS (at\r\r\nOK\r\n + 1C D5 7E), DIAG (14 61 74 0D 1C D5 7D 5E), DIAG (13 61 74 0D 62 09 7E),
// DL (7E 02 6A D3 7E). PHONE_MODE_UNKNOWN when none matches. Bytes after a pattern are ignored.
EPhoneMode ClassifyReply(const uint8_t* bytes, size_t count);

// How far one collected reply decides the mode, for a reply that may arrive in pieces.
struct ReplyVerdict {
    EPhoneMode mode = PHONE_MODE_UNKNOWN;  // the mode ClassifyReply gives
    bool final = true;                     // false while the bytes are the start of a pattern and more may follow
};
ReplyVerdict ClassifyReplyPrefix(const uint8_t* bytes, size_t count);

// True once a reply to the detection packet is whole. The packet holds two frames and every
// mode answers with bytes that end in a flag for each of them (DS echoes both, DIAG answers
// both, DL frames its one acknowledgement with two flags): two flag bytes end the reply.
bool IsWholeDetectionReply(const uint8_t* bytes, size_t count);
