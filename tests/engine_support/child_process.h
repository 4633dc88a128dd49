// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

// A program run as a child for a test: its standard output collected through a pipe, its
// standard error into a file, its environment the test's plus extra entries. Killed (SIGKILL)
// if still running when the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts program with args (program not repeated); env entries "NAME=value" are added to
    // (or replace in) the current environment. False when it cannot be started, or while an
    // earlier child still runs; once that one has ended, the new child's output replaces its.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env = {}, const std::string& stderrFile = "/dev/null");

    // Reads standard output until a whole line is there or limitMs pass. False on time-out or
    // end of output. The line is returned without its newline.
    bool ReadLine(std::string& line, int limitMs);
    // Reads standard output until limitMs pass or it reaches needle. True when found.
    bool WaitForOutput(const std::string& needle, int limitMs);
    // Everything read from standard output so far.
    const std::string& Output() const { return m_output; }
    // Closes this end of the standard output pipe, as a reader that goes away does: the child's
    // next write to it fails (EPIPE, or SIGPIPE where the child does not ignore it).
    void CloseOutput();

    // Sends a signal. False when not running.
    bool Signal(int signal);
    // Waits up to limitMs for the child to end (reading its output meanwhile). The exit status,
    // 128 + signal for a killed child, or -1 on time-out.
    int Wait(int limitMs);
    int Pid() const { return m_pid; }

private:
    // Reads what is available within waitMs. False at end of output.
    bool Pump(int waitMs);

    int m_pid = -1;
    int m_stdout = -1;
    bool m_ended = false;
    int m_status = -1;
    size_t m_lineStart = 0;
    std::string m_output;
};
