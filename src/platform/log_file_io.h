// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>

namespace platform {

// The day's log file as the system opens and shares it: a handle, kNoLogFile when none.
using LogFileHandle = intptr_t;
constexpr LogFileHandle kNoLogFile = -1;

// Opens or creates path for appending, each write landing whole at the end. append: keep what
// the file holds (and keep other copies from writing it meanwhile); otherwise start it empty,
// unless another running copy has it open (its lines are kept), and let other copies write it
// too. Only a regular file is taken. kNoLogFile when it cannot be opened; *error (when not null)
// then holds the system's error number (EISDIR or EINVAL for what is not a regular file, EWOULDBLOCK
// for a file another copy holds).
LogFileHandle OpenLogFile(const char* path, bool append, int* error = nullptr);
// Hands a line to the file in one write; flush also forces it to disk. Failures are ignored.
void WriteLogFile(LogFileHandle file, const char* data, size_t size, bool flush);
void CloseLogFile(LogFileHandle file);

}  // namespace platform
