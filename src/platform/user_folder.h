// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// The folder where this user's own settings of the program live, ending with a separator:
// $XDG_CONFIG_HOME/vexlor/ (default ~/.config/vexlor/) on Linux, %APPDATA%\Vexlor\ on Windows.
// "" when the system names no such place (no home).
std::string UserSettingsFolder();

}  // namespace platform
