// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// The test process's scratch directory and the settings file $VEXLOR_REGISTRY names.
const std::string& TestDir();
std::string SettingsFile();
