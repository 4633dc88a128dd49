// SPDX-License-Identifier: Apache-2.0
#include "platform/registry.h"

namespace platform {

// Linux has no registry: the settings file in use stands in for it.
Registry Registry::Load() {
    const std::string path = SettingsPath();
    return path.empty() ? Registry() : LoadFile(path);
}

}  // namespace platform
