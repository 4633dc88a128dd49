// SPDX-License-Identifier: Apache-2.0
#include "app/win32/dialog_text.h"

#include <vector>

#include "platform/win32/wide_text.h"

using platform::win32::Narrow;
using platform::win32::Widen;

void SetWindowTextUtf8(HWND window, const std::string& text) { SetWindowTextW(window, Widen(text).c_str()); }

std::string WindowTextUtf8(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int copied = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return Narrow(std::wstring_view(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0)));
}

void SetItemTextUtf8(HWND dialog, int controlId, const std::string& text) {
    SetWindowTextUtf8(GetDlgItem(dialog, controlId), text);
}

std::string ItemTextUtf8(HWND dialog, int controlId) { return WindowTextUtf8(GetDlgItem(dialog, controlId)); }
