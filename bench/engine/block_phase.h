// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "download_rig.h"
#include "engine/dl_operator.h"
#include "platform/read_only_file.h"

// One operator talking to the simulator in DL mode, ready to run the block phase of a download
// again and again: the blocks of 0x20000 bytes from 0x200 on, each followed by its check, exactly
// as the download sequence runs them.
class BlockPhaseBench {
public:
    struct Result {
        bool ok = false;
        double seconds = 0;              // wall time of the block phase
        double cpuSeconds = 0;           // this process's CPU time (all threads) in the block phase
        double simulatorCpuSeconds = 0;  // the simulator's CPU time in the block phase
        uint64_t payloadBytes = 0;
        uint64_t allocations = 0;  // operator new calls of this process in the block phase
        uint64_t packets = 0;
    };

    // Packs a load of loadSize bytes, starts the simulator (in DL mode) with simOptions, opens
    // the log at logLevel, and brings the link up (unless withLink is false: the terminal is
    // then left to the caller). Empty on success, else why not.
    std::string Prepare(uint32_t loadSize, const std::vector<std::string>& simOptions, int logLevel,
                        bool withLink = true);
    ~BlockPhaseBench();

    // Start of download, the first packet, then the timed blocks, then end of download.
    Result Run();

    // What the tool writes to the line in the block phase: every write packet framed (flags,
    // escapes, CRC) plus the no-operation after each block.
    std::vector<uint8_t> BlockPhaseLineBytes() const;
    uint32_t Blocks() const;

    const DownloadRig& Rig() const { return m_rig; }

private:
    DownloadRig m_rig;
    platform::ReadOnlyFile m_file;
    std::unique_ptr<CDLOperator> m_op;
    uint32_t m_loadSize = 0;
};
