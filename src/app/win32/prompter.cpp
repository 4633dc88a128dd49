// SPDX-License-Identifier: Apache-2.0
#include "app/win32/prompter.h"

#include "app/win32/dialog_text.h"
#include "platform/win32/wide_text.h"

using platform::win32::Widen;

namespace {

// The owner's title as the box's caption; "Vexlor" when there is none.
std::wstring CaptionOf(HWND owner) {
    const std::string title = owner ? WindowTextUtf8(owner) : std::string();
    return Widen(title.empty() ? "Vexlor" : title);
}

}  // namespace

bool AskYesNoBox(HWND owner, const std::string& text) {
    return MessageBoxW(owner, Widen(text).c_str(), CaptionOf(owner).c_str(), MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

void InformBox(HWND owner, const std::string& text) {
    MessageBoxW(owner, Widen(text).c_str(), CaptionOf(owner).c_str(), MB_OK);
}

void ErrorBox(const std::string& caption, const std::string& text) {
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | MB_ICONSTOP);
}
