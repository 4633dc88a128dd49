// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

#include <string>

// The message boxes of the Win32 window, with UTF-8 texts.
// A question with Yes and No and a warning icon: true only for Yes.
bool AskYesNoBox(HWND owner, const std::string& text);
// A plain message with an OK button, captioned like its owner.
void InformBox(HWND owner, const std::string& text);
// An error without owner window, with a stop icon and an OK button.
void ErrorBox(const std::string& caption, const std::string& text);
