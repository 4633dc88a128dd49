// SPDX-License-Identifier: Apache-2.0
#include "platform/user_folder.h"

#include <cstdlib>

#include "platform/folder_path.h"

namespace platform {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string UserSettingsFolder() {
#ifdef _WIN32
    const std::string appData = Env("APPDATA");
    return appData.empty() ? "" : FolderPrefix(appData) + "Vexlor\\";
#else
    // A relative $XDG_CONFIG_HOME is ignored, as the XDG rules say.
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') {
        const std::string home = Env("HOME");
        if (home.empty()) return "";
        config = FolderPrefix(home) + ".config";
    }
    return FolderPrefix(config) + "vexlor/";
#endif
}

}  // namespace platform
