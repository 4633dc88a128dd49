// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "child_process.h"

// Another run of vexlor holding a port, as the machine sees it: the port's serial lock file with
// a live process's PID in it (flock's), held open and locked by that process as a run holds it.
// Gone, with its lock file, when the object goes.
class RunHolder {
public:
    RunHolder() = default;
    ~RunHolder();
    RunHolder(const RunHolder&) = delete;
    RunHolder& operator=(const RunHolder&) = delete;

    // False when the process or the lock file cannot be made.
    bool Hold(const std::string& device);
    int Pid() const { return m_process.Pid(); }
    // Ends the run: the process and its lock file go.
    void Release();

private:
    ChildProcess m_process;
    std::string m_lockFile;
};
