// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// Appends one record (one or more whole lines) to a file that several runs, in this process
// and in others, append to at once: under an exclusive lock on the file and in one write, so
// records never interleave or tear. header is written first when the file is new or empty.
// 0, or the system's error number (the file is left as it was when nothing could be written).
int AppendRecord(const std::string& path, const std::string& header, const std::string& record);

}  // namespace platform
