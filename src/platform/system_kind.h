// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace platform {

// Whether the program is built for Windows: its texts then speak of what a Windows user has
// (COM names, the registry, Ctrl+C, the per-port mutex) rather than devices, files and signals.
#ifdef _WIN32
inline constexpr bool kWindowsSystem = true;
#else
inline constexpr bool kWindowsSystem = false;
#endif

}  // namespace platform
