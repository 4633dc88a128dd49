// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// The window messages the download engine posts to its notification target (lParam 0).
constexpr uint32_t WM_USER_BASE = 0x400;                   // the platform's first user message
constexpr uint32_t WM_DL_STATUS = WM_USER_BASE + 0x201;    // 0x601, wParam: a status code
constexpr uint32_t WM_DL_PROGRESS = WM_USER_BASE + 0x202;  // 0x602, wParam: a percentage 0..100
constexpr uint32_t WM_DL_NOTICE = WM_USER_BASE + 0x203;    // 0x603, wParam: a notice code (no status)
