// SPDX-License-Identifier: Apache-2.0
#include <cstring>

#include "engine/dl_errors.h"
#include "engine/dl_operator.h"
#include "engine/version_text.h"
#include "log/log.h"
#include "package/load_merger.h"
#include "package/package_errors.h"

namespace {
constexpr int32_t kCommandTimeoutMs = 5000;
constexpr int32_t kNandTimeoutMs = 30000;
constexpr int32_t kBlockCheckTimeoutMs = 3000;
constexpr int32_t kResetTimeoutMs = 3000;

unsigned Hex(int32_t code) { return static_cast<unsigned>(code); }
}  // namespace

int32_t CDLOperator::CheckVersion() {
    static const char kSrc[] = "CDLOperator::CheckVersion";
    LogWritePort(LOG_DBG, LogPort(), kSrc, "Send TxRx command.");
    uint8_t response[dlpacket::RESPONSE_VERSION] = {};
    const int32_t result = m_link.DIAGTxRx(dlpacket::VERSION_QUERY, sizeof dlpacket::VERSION_QUERY, response,
                                           sizeof response, kCommandTimeoutMs);
    if (result < 0) {
        LogWritePort(LOG_ER, LogPort(), kSrc, "TxRx failed with error code %X.", Hex(result));
        return result;
    }
    const std::string newVersion = NewVersionOf(m_parameters.GetVersion());
    const std::string oldVersion =
        OldVersionOf(response[dlpacket::VERSION_BYTE_MAJOR], response[dlpacket::VERSION_BYTE_MINOR]);
    {
        std::lock_guard<std::mutex> lock(m_failureMutex);
        m_handsetVersion = oldVersion;
    }
    if (!SameVersion(newVersion, oldVersion)) {
        LogWritePort(LOG_ER, LogPort(), kSrc, "SW version version mismatch, new [%s], old [%s]", newVersion.c_str(),
                     oldVersion.c_str());
        std::lock_guard<std::mutex> lock(m_failureMutex);
        m_failure.handsetVersion = oldVersion;
        m_failure.loadVersion = NewVersionShown(m_parameters.GetVersion());
        return DLERR_VERSION;
    }
    return DL_OK;
}

int32_t CDLOperator::DownloadCommand(const char* source, const uint8_t* request, int32_t length, int32_t timeoutMs,
                                     bool startOfDownload) {
    LogWritePort(LOG_DBG, LogPort(), source, "Send TxRx command.");
    uint8_t response[dlpacket::RESPONSE_DOWNLOAD] = {};
    const int32_t result = m_link.DLTxRx(request, length, response, sizeof response, timeoutMs);
    if (result < 0) {
        LogWritePort(LOG_ER, LogPort(), source, "TxRx failed with ret %X.", Hex(result));
        return result;
    }
    const uint16_t status = dlpacket::ResponseStatus(response);
    if (response[0] == dlpacket::CMD_DOWNLOAD && status == 0) return DL_OK;
    LogWritePort(LOG_ER, LogPort(), source, "Return response error code is %X - %X.", response[0], status);
    return startOfDownload && status == DL_STATUS_ACC_REFUSED ? DLERR_ACC : DLERR_RESPONSE;
}

int32_t CDLOperator::InitDownload() {
    return DownloadCommand("CDLOperator::InitDownload", dlpacket::INIT_DOWNLOAD, sizeof dlpacket::INIT_DOWNLOAD,
                           kCommandTimeoutMs, true);
}

int32_t CDLOperator::WriteFirstPacket(const uint8_t* chunk) {
    dlpacket::BuildWritePacket(m_packet, 0, chunk, dlpacket::WRITE_DATA_MAX);
    const int32_t result =
        DownloadCommand("CDLOperator::WriteFirstPacket", m_packet, sizeof m_packet, kCommandTimeoutMs, false);
    // The handset has the first packet: the blocks follow, and transfer rates count from here.
    if (result == DL_OK) m_blockPhaseStart.store(std::chrono::steady_clock::now().time_since_epoch().count());
    return result;
}

int32_t CDLOperator::FinalDownload() {
    return DownloadCommand("CDLOperator::FinalDownload", dlpacket::FINAL_DOWNLOAD, sizeof dlpacket::FINAL_DOWNLOAD,
                           kCommandTimeoutMs, false);
}

int32_t CDLOperator::WriteToNand() {
    return DownloadCommand("CDLOperator::WriteToNand", dlpacket::WRITE_TO_NAND, sizeof dlpacket::WRITE_TO_NAND,
                           kNandTimeoutMs, false);
}

int32_t CDLOperator::WriteBlockPacket(uint8_t* chunk, uint32_t blockStart, uint32_t blockSize) {
    static const char kSrc[] = "CDLOperator::WriteBlockPacket";
    if (blockSize == 0) return DL_OK;
    // Packets must start on 512-byte steps so that each lies inside one 4096-byte chunk.
    if (blockStart % dlpacket::WRITE_DATA_MAX != 0) return DLERR_BLOCK_START;
    const char* port = LogPort();
    uint32_t offset = 0;
    for (;;) {
        const uint32_t remaining = blockSize - offset;
        const uint32_t length = remaining >= dlpacket::WRITE_DATA_MAX ? dlpacket::WRITE_DATA_MAX : remaining;
        const uint32_t address = blockStart + offset;
        if (address % CHUNK_SIZE == 0) {
            const int32_t read = m_pProgramFile ? CLoadMerger::ReadLoadChunk(*m_pProgramFile, chunk) : PKGERR_LOAD_READ;
            if (read < 0) return read;
        }
        dlpacket::BuildWritePacket(m_packet, address, chunk + address % CHUNK_SIZE, length);
        std::memset(m_blockResponse, 0, sizeof m_blockResponse);
        offset += length;

        if (offset == BLOCK_SIZE) {
            // The packet completing a full block is the one whose answer is awaited.
            LogWritePort(LOG_DBG, port, kSrc, "Send TxRx command.");
            const int32_t result =
                m_link.DLTxRx(m_packet, sizeof m_packet, m_blockResponse, sizeof m_blockResponse, kCommandTimeoutMs);
            if (result < 0) {
                LogWritePort(LOG_ER, port, kSrc, "TxRx failed with ret %X.", Hex(result));
                return result;
            }
            const uint16_t status = dlpacket::ResponseStatus(m_blockResponse);
            if (status != 0) {
                LogWritePort(LOG_ER, port, kSrc, "Return response error code is %X - %X.", m_blockResponse[0], status);
                return DLERR_RESPONSE;
            }
        } else {
            LogWritePort(LOG_DBG, port, kSrc, "Send DLSend command.");
            const int32_t sent = m_link.DLSend(m_packet, sizeof m_packet);
            if (sent < 0) {
                LogWritePort(LOG_ER, port, kSrc, "DLSend failed with ret %X.", Hex(sent));
                return sent;
            }
            if (m_link.ReadReturnPacket(m_blockResponse, sizeof m_blockResponse) != 0) {
                LogWritePort(LOG_ER, port, kSrc, "DLSend failed with ret %X.", Hex(sent));
                return DLERR_STREAM;
            }
        }
        // Counted as each packet goes out, not only once the block is acknowledged: a run stopped
        // or failing at the end of a block has sent that block, and its records say so.
        m_bytesSent.store(blockStart + offset);
        if (offset >= blockSize) return DL_OK;
    }
}

int32_t CDLOperator::CheckWriteBlockPacketError() {
    static const char kSrc[] = "CDLOperator::CheckWriteBlockPacketError";
    LogWritePort(LOG_DBG, LogPort(), kSrc, "Send TxRx command.");
    uint8_t* response = m_blockResponse;
    std::memset(response, 0, dlpacket::RESPONSE_BLOCK_CHECK);
    const int32_t result = m_link.DLTxRx(dlpacket::NOP, sizeof dlpacket::NOP, response, dlpacket::RESPONSE_BLOCK_CHECK,
                                         kBlockCheckTimeoutMs);
    if (result < 0) {
        LogWritePort(LOG_ER, m_link.PortName(), kSrc, "Send nop command failed with error code %X.", Hex(result));
        return result;
    }
    if (response[0] == dlpacket::ACK) return DL_OK;
    LogWritePort(LOG_ER, m_link.PortName(), kSrc, "There is error in Block packet writing.");
    m_link.ReadReturnPacket(response, dlpacket::RESPONSE_BLOCK_CHECK);
    return DLERR_BLOCK;
}

int32_t CDLOperator::SendNop(int32_t timeoutMs) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        uint8_t response[dlpacket::RESPONSE_NOP] = {};
        const int32_t result = m_link.DLTxRx(dlpacket::NOP, sizeof dlpacket::NOP, response, sizeof response, timeoutMs);
        if (result >= 0 && response[0] == dlpacket::ACK) return DL_OK;
    }
    return -1;
}

int32_t CDLOperator::SendReset() {
    uint8_t response[dlpacket::RESPONSE_NOP] = {};
    m_link.DLTxRx(dlpacket::RESET, sizeof dlpacket::RESET, response, sizeof response, kResetTimeoutMs);
    return DL_OK;
}

void CDLOperator::FlushResponses() {
    std::memset(m_blockResponse, 0, dlpacket::RESPONSE_BLOCK_CHECK);
    m_link.ReadReturnPacket(m_blockResponse, dlpacket::RESPONSE_BLOCK_CHECK);
}
