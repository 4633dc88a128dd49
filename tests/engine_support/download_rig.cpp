// SPDX-License-Identifier: Apache-2.0
#include "download_rig.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "packed_load.h"

DownloadRig::DownloadRig() {
    m_settingsPath = m_folder.File("settings.reg");
    m_imagePath = m_folder.File("image.bin");
    TestSettings settings;
    settings.logPrefix = m_folder.File("log-");
    WriteWholeFile(m_settingsPath, SettingsFileText(settings));
    std::filesystem::create_directory(m_folder.File("run"));
    // The ports' lock files stay in the test's own folder: a terminal number another test's run
    // still holds may come back as this test's simulator (open to every user, as /run/lock is).
    std::filesystem::create_directory(m_folder.File("lock"));
    std::filesystem::permissions(m_folder.File("lock"),
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
}

DownloadRig::~DownloadRig() {
    StopSimulator();
    while (!m_extra.empty()) StopSimulatorOn(m_extra.begin()->first);
}

namespace {

// A real adapter holds bytes some 20 ms; the tests run the tool's time-outs scaled down, so the
// simulated adapter is scaled with them (a time-out must stay well above the line's latency, as
// it is on a real bench). A test that gives its own latency chooses its time scale to match.
std::vector<std::string> WithScaledLatency(const std::vector<std::string>& options) {
    std::vector<std::string> args = options;
    if (std::find(args.begin(), args.end(), "--line-latency") != args.end()) return args;
    const char* inProcess = std::getenv("VEXLOR_TIME_SCALE");  // the operator tests' own scale
    const double factor = std::atof(inProcess && *inProcess ? inProcess : DownloadRig::ChildTimeScale().c_str());
    const long latencyMs = std::max(1L, std::lround(20 * std::min(std::max(factor, 0.0), 1.0)));
    args.insert(args.end(), {"--line-latency", std::to_string(latencyMs)});
    return args;
}

}  // namespace

bool DownloadRig::StartSimulatorOn(const std::string& port, const std::vector<std::string>& options) {
    ExtraSimulator& sim = m_extra[port];
    sim.process = std::make_unique<ChildProcess>();
    std::vector<std::string> args = WithScaledLatency(options);
    for (const std::string& extra : {std::string("--register"), m_settingsPath, std::string("--com"), port,
                                     std::string("--image-out"), ImagePathOf(port)}) {
        args.push_back(extra);
    }
    if (!sim.process->Start(SimulatorProgram(), args, {}, m_folder.File("sim-" + port + ".err"))) return false;
    return sim.process->ReadLine(sim.terminal, 10000) && sim.terminal.rfind("/dev/", 0) == 0;
}

int DownloadRig::StopSimulatorOn(const std::string& port) {
    const auto found = m_extra.find(port);
    if (found == m_extra.end()) return -1;
    found->second.process->Signal(SIGTERM);
    const int status = found->second.process->Wait(10000);
    m_extra.erase(found);
    return status;
}

std::string DownloadRig::TerminalOf(const std::string& port) const {
    const auto found = m_extra.find(port);
    return found == m_extra.end() ? std::string() : found->second.terminal;
}

bool DownloadRig::ImageOfMatchesLoad(const std::string& port, std::string* why) const {
    return ImageFileMatchesLoad(ImagePathOf(port), why);
}

bool DownloadRig::PackLoad(uint32_t size, const std::string& program, const std::string& version) {
    m_load = TestLoad(size);
    const std::string loadPath = m_folder.File("load.bin");
    WriteWholeFile(loadPath, std::string(m_load.begin(), m_load.end()));
    m_packedPath = m_folder.File("vexlor-packed");
    ChildProcess pack;
    if (!pack.Start(PackProgram(),
                    {"--program", program, "--load", loadPath, "--version", version, "--out", m_packedPath}, {},
                    m_folder.File("pack.err"))) {
        return false;
    }
    const int status = pack.Wait(60000);
    if (status != 0) {
        std::fprintf(stderr, "vexlor-pack failed (%d): %s\n", status, ReadWholeFile(m_folder.File("pack.err")).c_str());
        return false;
    }
    return true;
}

bool DownloadRig::StartSimulator(const std::vector<std::string>& options) {
    m_simulator = std::make_unique<ChildProcess>();
    std::vector<std::string> args = WithScaledLatency(options);
    for (const char* extra :
         {"--register", m_settingsPath.c_str(), "--com", kPort, "--image-out", m_imagePath.c_str()}) {
        args.emplace_back(extra);
    }
    if (!m_simulator->Start(SimulatorProgram(), args, {}, m_folder.File("sim.err"))) return false;
    m_terminalPath.clear();
    return m_simulator->ReadLine(m_terminalPath, 10000) && m_terminalPath.rfind("/dev/", 0) == 0;
}

int DownloadRig::StopSimulator() {
    if (!m_simulator) return -1;
    m_simulator->Signal(SIGTERM);
    const int status = m_simulator->Wait(10000);
    m_simulator.reset();
    return status;
}

bool DownloadRig::ImageMatchesLoad(std::string* why) const { return ImageFileMatchesLoad(m_imagePath, why); }

bool DownloadRig::ImageFileMatchesLoad(const std::string& path, std::string* why) const {
    const std::string image = ReadWholeFile(path);
    return ::ImageMatchesLoad(std::vector<uint8_t>(image.begin(), image.end()), m_load, why);
}

std::string DownloadRig::ChildTimeScale() {
    const char* configured = std::getenv("VEXLOR_E2E_TIME_SCALE");
    return configured && *configured ? configured : "0.05";
}

std::vector<std::string> DownloadRig::ChildEnvironment(const std::string& timeScale) const {
    // The record store too stays in the test's folder, never in the user's own.
    return {"VEXLOR_REGISTRY=" + m_settingsPath, "XDG_RUNTIME_DIR=" + m_folder.File("run"),
            "VEXLOR_LOCK_DIR=" + m_folder.File("lock"), "VEXLOR_TIME_SCALE=" + timeScale,
            "XDG_DATA_HOME=" + m_folder.File("data")};
}

std::string SimulatorProgram() { return VEXLOR_SIM_PROGRAM; }
std::string PackProgram() { return VEXLOR_PACK_PROGRAM; }
std::string VexlorProgram() { return VEXLOR_CLI_PROGRAM; }
