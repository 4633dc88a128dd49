// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// AppendRecord's answer for a path that names something other than a regular file (a FIFO, a
// device, a folder): refused at once, before anything is written and without waiting on it.
constexpr int kRecordNotAFile = -1;

// Appends one record (one or more whole lines) to a file that several runs, in this process
// and in others, append to at once: under an exclusive lock on the file and in one write, so
// records never interleave or tear. header is written first when the file is new or empty.
// A record is appended whole or not at all: after a short write (a full disk, a file size
// limit) the part already written is taken back under the lock, so the next record never lands
// glued to half of this one. 0, kRecordNotAFile, or the system's error number.
int AppendRecord(const std::string& path, const std::string& header, const std::string& record);

}  // namespace platform
