// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The command line of vexlor-pack.
struct PackOptions {
    std::string programPath;
    std::string loadPath;
    std::string version;
    std::string outPath;
    uint16_t value16 = 0;
    uint32_t value32a = 0;
    uint32_t value32b = 0;
    uint32_t value32c = 0;
    bool sign = false;  // "--sign": OUT signed with Authenticode (pack_signing.h)
    bool showHelp = false;
    bool showVersion = false;  // "--version" alone: the program's version
};

// Parses the arguments after the program name. False with error set on a bad command line.
// "--name value" and "--name=value" are both accepted; numbers are decimal or 0x-prefixed hex.
bool ParsePackOptions(const std::vector<std::string>& args, PackOptions& options, std::string& error);

// The --help text.
const char* PackUsage();
