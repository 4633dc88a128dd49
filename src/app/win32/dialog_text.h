// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

#include <string>

// The texts of windows and dialog controls in the UTF-8 the program uses inside.
void SetWindowTextUtf8(HWND window, const std::string& text);
std::string WindowTextUtf8(HWND window);
void SetItemTextUtf8(HWND dialog, int controlId, const std::string& text);
std::string ItemTextUtf8(HWND dialog, int controlId);
