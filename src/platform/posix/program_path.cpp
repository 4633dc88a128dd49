// SPDX-License-Identifier: Apache-2.0
#include "platform/program_path.h"

#include <unistd.h>

#include <climits>

namespace platform {

std::string ProgramPath() {
    char buffer[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

std::string ProgramFolder() {
    std::string path = ProgramPath();
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1);
}

}  // namespace platform
