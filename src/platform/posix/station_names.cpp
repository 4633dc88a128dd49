// SPDX-License-Identifier: Apache-2.0
#include "platform/station_names.h"

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace platform {

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) return std::string();
    return name;
}

std::string LoginName() {
    // The account the process runs as, not the terminal's: a station started by a service or
    // under sudo records who actually wrote its records.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name) {
        return found->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "";
}

std::string DefaultRecordStorePath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    // The XDG rules: a relative path in the variable is to be ignored.
    if (data && data[0] == '/') return std::string(data) + "/vexlor/records.db";
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0') return std::string(home) + "/.local/share/vexlor/records.db";
    if (passwd* entry = getpwuid(geteuid()); entry && entry->pw_dir) {
        return std::string(entry->pw_dir) + "/.local/share/vexlor/records.db";
    }
    return std::string();
}

}  // namespace platform
