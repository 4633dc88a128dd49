// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace pkgtest {

struct ProcessResult {
    int exitStatus = -1;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// What the child meets besides its arguments. It starts with SIGPIPE and SIGXFSZ at their
// defaults (ending the program), whatever the test runner ignores.
struct ProcessLimits {
    long long fileSizeLimit = -1;   // bytes (RLIMIT_FSIZE, as ulimit -f sets it); -1: none
    bool outputReaderGone = false;  // standard output a pipe whose reader has already gone
};

// Runs program with args, with the extra environment variables set, and collects its output.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env = {},
                         const ProcessLimits& limits = {});

}  // namespace pkgtest
