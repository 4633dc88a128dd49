// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "settings_file.h"
#include "temp_folder.h"

// Everything one end-to-end download needs: a folder, a settings file with a level-5 log, a
// load of chosen size packed into a program file, and the handset simulator registered as a
// COM port in that settings file, writing the image it receives.
class DownloadRig {
public:
    static constexpr const char* kPort = "COM9";
    static constexpr const char* kLoadVersion = "VX12.01";  // the simulator's default answer is 12

    DownloadRig();
    ~DownloadRig();

    // A load of size bytes (deterministic pseudo-random content) packed into a copy of program.
    // False (with the reason on stderr) when packing fails.
    bool PackLoad(uint32_t size, const std::string& program, const std::string& version = kLoadVersion);
    // Starts the simulator with extra options; False when it does not come up.
    bool StartSimulator(const std::vector<std::string>& options);
    // Ends the simulator (SIGTERM), so it writes its image and leaves the settings file.
    int StopSimulator();
    // Another simulator, registered as port in the same settings file, writing the image it
    // receives to ImagePathOf(port): several handsets on one bench. False when it does not come up.
    bool StartSimulatorOn(const std::string& port, const std::vector<std::string>& options);
    // Ends that simulator (SIGTERM); its exit status.
    int StopSimulatorOn(const std::string& port);
    std::string ImagePathOf(const std::string& port) const { return m_folder.File("image-" + port + ".bin"); }
    std::string TerminalOf(const std::string& port) const;
    // As ImageMatchesLoad, for the image of the simulator on port.
    bool ImageOfMatchesLoad(const std::string& port, std::string* why = nullptr) const;

    const std::string& SettingsPath() const { return m_settingsPath; }
    // The simulator's process id, -1 when none runs.
    int SimulatorPid() const { return m_simulator ? m_simulator->Pid() : -1; }
    // The simulator's terminal (its first output line).
    const std::string& TerminalPath() const { return m_terminalPath; }
    const std::string& PackedPath() const { return m_packedPath; }
    const std::string& ImagePath() const { return m_imagePath; }
    const std::vector<uint8_t>& Load() const { return m_load; }
    const TempFolder& Folder() const { return m_folder; }
    std::string LogText() const { return ReadLogFolder(m_folder.Path()); }
    std::string SimulatorErrors() const { return ReadWholeFile(m_folder.File("sim.err")); }

    // True when the image the simulator wrote starts with the load and holds nothing more than
    // the first packet's 512 bytes beyond it.
    bool ImageMatchesLoad(std::string* why = nullptr) const;

    // The time scale a child vexlor runs at unless a test chooses one: $VEXLOR_E2E_TIME_SCALE,
    // else 0.05.
    static std::string ChildTimeScale();
    // Environment entries for a child vexlor: settings file, own runtime folder, time scale.
    std::vector<std::string> ChildEnvironment(const std::string& timeScale) const;

private:
    TempFolder m_folder;
    std::string m_settingsPath;
    std::string m_packedPath;
    std::string m_imagePath;
    std::string m_terminalPath;
    std::vector<uint8_t> m_load;
    std::unique_ptr<ChildProcess> m_simulator;
    struct ExtraSimulator {
        std::unique_ptr<ChildProcess> process;
        std::string terminal;
    };
    std::map<std::string, ExtraSimulator> m_extra;  // by port
    bool ImageFileMatchesLoad(const std::string& path, std::string* why) const;
};

// The paths of the programs under test, from the build.
std::string SimulatorProgram();
std::string PackProgram();
std::string VexlorProgram();
