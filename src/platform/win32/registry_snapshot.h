// SPDX-License-Identifier: Apache-2.0
#pragma once
// The registry snapshot's reader, for Registry::Load and for tests that give it a key of their own.
#include <windows.h>

#include <initializer_list>

#include "platform/registry.h"

namespace platform::win32 {

// Adds each key of keyPaths under root, with its REG_DWORD and REG_SZ (and REG_EXPAND_SZ, read
// unexpanded) values, to registry under the same path. A key that cannot be opened is left out.
void AddRegistryKeys(HKEY root, std::initializer_list<const char*> keyPaths, Registry& registry);

}  // namespace platform::win32
