// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// One vexlor-handset-sim process for a test: started with the given options plus
// --register <settings file> --com <port> --log <trace>, its terminal path read from its first
// output line. Stopped (SIGTERM) and reaped on destruction.
class SimProcess {
public:
    // settingsFile: the .reg file the channel reads ($VEXLOR_REGISTRY); port: e.g. "COM7".
    SimProcess(const std::vector<std::string>& options, const std::string& settingsFile, const std::string& port);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Started() const { return !m_terminal.empty(); }
    const std::string& Terminal() const { return m_terminal; }
    // Ends the simulator at once (SIGKILL): its terminal vanishes like an unplugged handset.
    void Kill();
    // The --log trace lines so far.
    std::vector<std::string> TraceLines() const;
    // The whole trace, for failure messages.
    std::string TraceText() const;
    // Byte lines of the trace ("rx" or "tx") whose bytes contain hexBytes ("0C 14 3A 7E").
    int CountTraced(const std::string& direction, const std::string& hexBytes) const;

private:
    void Stop(int signal);

    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_terminal;
    std::string m_trace;
};

// The path of the simulator binary of this build.
std::string SimulatorPath();
