// SPDX-License-Identifier: Apache-2.0
#include "link/packet_unpacker.h"

#include <cstring>

#include "link/crc.h"
#include "link/frame_bytes.h"
#include "log/log.h"

CPacketUnpacker::CPacketUnpacker() : m_pBuffer(std::make_unique<uint8_t[]>(BUFFER_SIZE)) {}

CPacketUnpacker::~CPacketUnpacker() = default;

void CPacketUnpacker::SetMode(int32_t mode) { m_nMode.store(mode, std::memory_order_relaxed); }

int32_t CPacketUnpacker::GetMode() const { return m_nMode.load(std::memory_order_relaxed); }

void CPacketUnpacker::Reset() {
    m_nCount = 0;
    m_nState = STATE_NORMAL;
}

const uint8_t* CPacketUnpacker::GetBuffer() const { return m_pBuffer.get(); }

int32_t CPacketUnpacker::GetCount() const { return m_nCount; }

int32_t CPacketUnpacker::GetState() const { return m_nState; }

bool CPacketUnpacker::ExpectsOpeningFlag() const { return m_nCount == 0 && GetMode() == MODE_DL; }

int32_t CPacketUnpacker::PutByte(uint8_t byte) {
    switch (m_nState) {
    case STATE_NORMAL:
        if (ExpectsOpeningFlag()) {
            if (byte != FRAME_FLAG) {
                m_nState = STATE_HUNTING;
                return RESULT_NO_OPENING;
            }
            m_nState = STATE_OPENED;
            return RESULT_TAKEN;
        }
        if (byte == FRAME_ESCAPE) {
            m_nState = STATE_ESCAPED;
            return RESULT_TAKEN;
        }
        if (byte != FRAME_FLAG) return Append(byte);
        return CloseFrame();
    case STATE_ESCAPED: m_nState = STATE_NORMAL; return Append(static_cast<uint8_t>(byte ^ FRAME_ESCAPE_XOR));
    case STATE_OPENED:
        // The first byte after the opening flag is taken as it is, even a flag or an escape.
        m_nState = STATE_NORMAL;
        return Append(byte);
    case STATE_HUNTING:
        if (byte == FRAME_FLAG) m_nState = STATE_NORMAL;
        return RESULT_HUNTING;
    default: return RESULT_BAD_STATE;
    }
}

int32_t CPacketUnpacker::PutBytes(const uint8_t* data, size_t length, size_t& taken) {
    size_t i = 0;
    while (i < length) {
        if (m_nState == STATE_NORMAL && !ExpectsOpeningFlag()) {
            const size_t room = static_cast<size_t>(BUFFER_SIZE - m_nCount);
            const size_t end = length - i < room ? length : i + room;
            size_t j = i;
            while (j < end && !FrameByteNeedsEscape(data[j])) ++j;
            std::memcpy(m_pBuffer.get() + m_nCount, data + i, j - i);
            m_nCount += static_cast<int32_t>(j - i);
            i = j;
            if (i == length) break;
        }
        const int32_t result = PutByte(data[i++]);
        if (result != RESULT_TAKEN) {
            taken = i;
            return result;
        }
    }
    taken = i;
    return RESULT_TAKEN;
}

int32_t CPacketUnpacker::Append(uint8_t byte) {
    if (m_nCount >= BUFFER_SIZE) {
        LogWrite(LOG_ER, "Frame longer than %d bytes discarded.", BUFFER_SIZE);
        m_nCount = 0;
        m_nState = STATE_HUNTING;
        return RESULT_BAD_FRAME;
    }
    m_pBuffer[m_nCount++] = byte;
    return RESULT_TAKEN;
}

int32_t CPacketUnpacker::CloseFrame() {
    if (m_nCount < 2) {
        LogWrite(LOG_ER, "The length of buffer including CRC should be larger than 2.");
        LogDump(LOG_ER, m_pBuffer.get(), m_nCount);
    } else {
        // The check's bit count is 16 bits wide: a frame of 8192 bytes or more never passes,
        // rather than being judged by a wrapped-around prefix of itself.
        const uint32_t bitCount = static_cast<uint32_t>(m_nCount) * 8;
        if (bitCount <= UINT16_MAX && Crc16Calc(m_pBuffer.get(), bitCount) == CRC16_GOOD_FRAME) {
            return m_nCount - 2;
        }
    }
    LogWrite(LOG_ER, "CRC checking fails.");
    LogDump(LOG_ER, m_pBuffer.get(), m_nCount);
    m_nCount = 0;
    return RESULT_BAD_FRAME;
}
