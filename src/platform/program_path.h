#pragma once
#include <string>

namespace platform {

// Full path of the running program (from /proc/self/exe, symlinks resolved); empty on failure.
std::string ProgramPath();
// The program's folder, with a trailing '/'; empty on failure.
std::string ProgramFolder();

}  // namespace platform
