// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A firmware load for a test and a program file carrying it, made in this process (no child
// program), and the check of what a handset received against the load.

// A load of size bytes whose content is deterministic and differs with the size.
std::vector<uint8_t> TestLoad(uint32_t size);

// Writes a stand-in program image (carrying the program mark, as vexlor-pack requires) with the
// load packed into it under version, as packedPath; scratch files go into folder. Empty on
// success, else why not.
std::string PackLoadIntoProgram(const std::string& folder, const std::vector<uint8_t>& load, const std::string& version,
                                const std::string& packedPath);

// True when image starts with the load and holds nothing more than the first packet's 512 bytes
// beyond it; *why (when not null) says what differs.
bool ImageMatchesLoad(const std::vector<uint8_t>& image, const std::vector<uint8_t>& load, std::string* why = nullptr);
