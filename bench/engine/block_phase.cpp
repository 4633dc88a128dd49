// SPDX-License-Identifier: Apache-2.0
#include "block_phase.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "allocation_count.h"
#include "app/program_mark.h"
#include "engine/dl_packets.h"
#include "link/packet_packer.h"
#include "log/log.h"
#include "package/load_merger.h"

namespace {

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// User plus system CPU time of another process, from /proc/<pid>/stat; 0 when unreadable.
double ChildCpuSeconds(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) utime = std::stoull(field);
        if (index == 15) {
            stime = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace

BlockPhaseBench::~BlockPhaseBench() {
    if (m_op) m_op->Link().CloseCOMPort();
    m_op.reset();
    m_rig.StopSimulator();
    LogClose();
}

std::string BlockPhaseBench::Prepare(uint32_t loadSize, const std::vector<std::string>& simOptions, int logLevel,
                                     bool withLink) {
    m_loadSize = loadSize;
    TestSettings settings;
    settings.logLevel = logLevel;
    settings.logPrefix = m_rig.Folder().File("log-");
    WriteWholeFile(m_rig.SettingsPath(), SettingsFileText(settings));
    const std::string program = m_rig.Folder().File("program");
    WriteWholeFile(program, std::string(8192, '\x5A') + ProgramMark());  // vexlor-pack wants the mark
    if (!m_rig.PackLoad(loadSize, program)) return "packing failed";
    std::vector<std::string> options = simOptions;
    options.insert(options.end(), {"--mode", "dl"});
    if (!m_rig.StartSimulator(options)) return "simulator failed: " + m_rig.SimulatorErrors();
    if (!withLink) return {};
    setenv("VEXLOR_REGISTRY", m_rig.SettingsPath().c_str(), 1);
    LogOpen("SOFTWARE\\Vexlor");
    if (!m_file.Open(m_rig.PackedPath())) return "packed file unreadable";
    m_op = std::make_unique<CDLOperator>();
    if (m_op->SetLoad(&m_file) != 1) return "package check failed";
    m_op->SetProgramFile(&m_file);
    m_op->SetComPort(DownloadRig::kPort);
    CSerCOMLibrary& link = m_op->Link();
    if (link.OpenComport("Target download", DownloadRig::kPort) != SERCOM_OK) return "open failed";
    for (int i = 0; i < 500 && link.Mode() != PHONE_MODE_DL; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (link.IsDLConnected() != SERCOM_OK) return "handset not in DL mode";
    return {};
}

BlockPhaseBench::Result BlockPhaseBench::Run() {
    Result result;
    CDLOperator& op = *m_op;
    uint8_t chunk[CDLOperator::CHUNK_SIZE];
    op.FlushResponses();
    if (op.SendNop(1000) != 1 || op.InitDownload() != 1) return result;
    if (CLoadMerger::SeekToLoad(m_file, m_loadSize) != 1 || CLoadMerger::ReadLoadChunk(m_file, chunk) != 1) {
        return result;
    }
    if (op.WriteFirstPacket(chunk) != 1) return result;

    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ProcessCpuSeconds();
    const double simulatorCpuStart = ChildCpuSeconds(m_rig.SimulatorPid());
    const uint64_t allocationsStart = AllocationCount();
    for (uint32_t address = 0x200; address < m_loadSize;) {
        const uint32_t size = std::min<uint32_t>(m_loadSize - address, CDLOperator::BLOCK_SIZE);
        if (op.WriteBlockPacket(chunk, address, size) != 1) return result;
        if (op.CheckWriteBlockPacketError() != 1) return result;
        address += size;
    }
    result.cpuSeconds = ProcessCpuSeconds() - cpuStart;
    result.allocations = AllocationCount() - allocationsStart;
    result.simulatorCpuSeconds = ChildCpuSeconds(m_rig.SimulatorPid()) - simulatorCpuStart;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.payloadBytes = m_loadSize - 0x200;
    result.packets = (result.payloadBytes + dlpacket::WRITE_DATA_MAX - 1) / dlpacket::WRITE_DATA_MAX;
    result.ok = op.FinalDownload() == 1;
    return result;
}

uint32_t BlockPhaseBench::Blocks() const {
    return (m_loadSize - 0x200 + CDLOperator::BLOCK_SIZE - 1) / CDLOperator::BLOCK_SIZE;
}

std::vector<uint8_t> BlockPhaseBench::BlockPhaseLineBytes() const {
    const std::vector<uint8_t>& load = m_rig.Load();
    uint8_t packet[dlpacket::WRITE_PACKET_SIZE];
    uint8_t frame[PackedSizeMax(dlpacket::WRITE_PACKET_SIZE)];
    const uint8_t nop[1] = {0x06};
    std::vector<uint8_t> line;
    for (uint32_t address = 0x200; address < m_loadSize; address += dlpacket::WRITE_DATA_MAX) {
        const size_t length = std::min<size_t>(dlpacket::WRITE_DATA_MAX, m_loadSize - address);
        dlpacket::BuildWritePacket(packet, address, load.data() + address, length);
        line.insert(line.end(), frame, frame + PackPacket(packet, 0x7E, 0x7E, frame));
        const bool blockEnds =
            (address + length - 0x200) % CDLOperator::BLOCK_SIZE == 0 || address + length == m_loadSize;
        if (blockEnds) line.insert(line.end(), frame, frame + PackPacket(nop, 0x7E, 0x7E, frame));
    }
    return line;
}
