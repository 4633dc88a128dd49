// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "serial/phone_mode.h"

// Frame decoder: rebuilds one response from received bytes, one byte at a time, and checks its
// CRC-16. In DL mode a frame starts with an opening flag; in every other mode it does not.
// Fed on one thread; SetMode may come from another.
class CPacketUnpacker {
public:
    static constexpr int32_t BUFFER_SIZE = 16384;

    // The only mode whose frames open with a flag; every other mode decodes the DIAG form.
    static constexpr int32_t MODE_DL = PHONE_MODE_DL;

    // PutByte results besides a payload length greater than 0.
    static constexpr int32_t RESULT_TAKEN = 0;        // byte taken, frame not complete
    static constexpr int32_t RESULT_HUNTING = -1;     // byte discarded while waiting for a flag
    static constexpr int32_t RESULT_NO_OPENING = -2;  // DL frame without opening flag; hunting now
    static constexpr int32_t RESULT_BAD_FRAME = -3;   // too short, bad CRC or too long; discarded
    static constexpr int32_t RESULT_BAD_STATE = -4;   // state corrupted

    // States.
    static constexpr int32_t STATE_NORMAL = 0;
    static constexpr int32_t STATE_ESCAPED = 1;
    static constexpr int32_t STATE_OPENED = 2;
    static constexpr int32_t STATE_HUNTING = -1;

    CPacketUnpacker();
    ~CPacketUnpacker();
    CPacketUnpacker(const CPacketUnpacker&) = delete;
    CPacketUnpacker& operator=(const CPacketUnpacker&) = delete;

    void SetMode(int32_t mode);
    int32_t GetMode() const;

    // Count and state to 0; the buffer contents stay. Needed after every non-zero result.
    void Reset();

    // The frame buffer: after a result greater than 0 it starts with the payload.
    const uint8_t* GetBuffer() const;
    int32_t GetCount() const;
    int32_t GetState() const;

    // 0, the payload length of a good frame (> 0), or one of the negative results above.
    // A frame that would grow past BUFFER_SIZE is dropped with -3 and the decoder hunts for the
    // next flag, so the rest of the oversized frame is not taken for a new one.
    int32_t PutByte(uint8_t byte);

    // Same outcome as PutByte on each byte in turn, stopping after the first non-zero result,
    // which it returns (0 when every byte was taken). taken is set to the number of bytes used,
    // the deciding byte included. Runs of plain bytes are copied in one go.
    int32_t PutBytes(const uint8_t* data, size_t length, size_t& taken);

private:
    int32_t Append(uint8_t byte);
    int32_t CloseFrame();
    bool ExpectsOpeningFlag() const;

    std::unique_ptr<uint8_t[]> m_pBuffer;
    int32_t m_nCount = 0;
    int32_t m_nState = STATE_NORMAL;
    std::atomic<int32_t> m_nMode{0};
};
