// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// Full path of the running program (from /proc/self/exe, symlinks resolved; on Windows the
// module's file name); empty on failure.
std::string ProgramPath();
// The program's folder, with a trailing separator; empty on failure.
std::string ProgramFolder();

// The separator ProgramFolder ends with: '/', or '\\' on Windows.
#ifdef _WIN32
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr char kFolderSeparator = '/';
#endif

}  // namespace platform
